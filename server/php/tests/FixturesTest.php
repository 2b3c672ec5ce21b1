<?php
// The example page under `php -S`, fed the shared fixtures byte for byte:
// requests the control sent, and hand-made hostile ones that must be refused
// with nothing stored.
declare(strict_types=1);

use PHPUnit\Framework\TestCase;

final class FixturesTest extends TestCase
{
    private static $server;
    private static int $port;
    private static string $uploads;

    public static function setUpBeforeClass(): void
    {
        self::$uploads = sys_get_temp_dir() . '/zt-php-kit-' . bin2hex(random_bytes(4));
        mkdir(self::$uploads);
        $s = stream_socket_server('tcp://127.0.0.1:0');
        self::$port = (int)substr(strrchr(stream_socket_get_name($s, false), ':'), 1);
        fclose($s);
        $dir = dirname(__DIR__);
        self::$server = proc_open(['php', '-S', '127.0.0.1:' . self::$port, "$dir/receive.php"], [
            1 => ['file', '/dev/null', 'w'], 2 => ['file', '/dev/null', 'w'],
        ], $pipes, $dir, ['ZTUPLOAD_DIR' => self::$uploads] + getenv());
        for ($i = 0; $i < 100 && !@fsockopen('127.0.0.1', self::$port); $i++) {
            usleep(100000);
        }
    }

    public static function tearDownAfterClass(): void
    {
        proc_terminate(self::$server);
        proc_close(self::$server);
        array_map('unlink', glob(self::$uploads . '/*'));
        rmdir(self::$uploads);
    }

    public static function fixtures(): array
    {
        $out = [];
        foreach (glob(__DIR__ . '/../../fixtures/*.http') as $raw) {
            $out[basename($raw, '.http')] = [$raw, substr($raw, 0, -5) . '.json'];
        }
        return $out;
    }

    /** @dataProvider fixtures */
    public function testFixture(string $raw, string $expectedFile): void
    {
        array_map('unlink', glob(self::$uploads . '/*'));
        $expected = json_decode(file_get_contents($expectedFile), true);
        [$status, $body] = $this->send(file_get_contents($raw));
        $written = glob(self::$uploads . '/*.json');
        if (isset($expected['error'])) {
            $this->assertSame(400, $status);
            $this->assertStringStartsWith($expected['error'] . ': ', $body);
            $this->assertSame([], glob(self::$uploads . '/*'), 'a refused request stores nothing');
            return;
        }
        $this->assertSame([200, 'OK'], [$status, $body]);
        $this->assertCount(1, $written);
        $got = json_decode(file_get_contents($written[0]), true);
        foreach ($got['rows'] as &$row) {
            if ($row['file'] !== null) {
                $stored = self::$uploads . '/' . $row['file']['stored'];
                $this->assertSame($row['file']['sha256'], hash_file('sha256', $stored));
                unset($row['file']['stored']);
            }
        }
        $this->assertSame($expected, $got);
    }

    /** Sends the raw request and reads the status and body of the reply. */
    private function send(string $request): array
    {
        $c = fsockopen('127.0.0.1', self::$port);
        stream_set_timeout($c, 20);
        fwrite($c, $request);
        $reply = stream_get_contents($c);
        fclose($c);
        [$head, $body] = explode("\r\n\r\n", $reply, 2) + [1 => ''];
        return [(int)explode(' ', $head)[1], $body];
    }
}
