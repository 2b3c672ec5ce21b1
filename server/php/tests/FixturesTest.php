<?php
// The example page under `php -S`, fed the shared fixtures byte for byte:
// requests the control sent, and hand-made hostile ones that must be refused
// with nothing stored and nothing left in the temporary folder. It runs as
// advised (the page reads the body) and as PHP runs by default (PHP parses
// it), where what PHP would rename or cut must be refused, not lost.
declare(strict_types=1);

use PHPUnit\Framework\TestCase;

final class FixturesTest extends TestCase
{
    /** @var array<string,array{resource,int,string}> server, port, folder by mode */
    private static array $servers = [];

    // What the default PHP setting gives where it differs from reading the body.
    private const PARSED_BY_PHP = [
        '01-post-utf8' => null, '02-post-cp949' => null, 'x-oversized-part' => null, 'x-risky-bidi' => null,
        'x-many-fields' => null,
        'x-php-brackets' => ['error' => 'name-mangled', 'status' => 500],
        'x-php-collisions' => ['error' => 'name-mangled', 'status' => 500],
    ];

    public static function setUpBeforeClass(): void
    {
        foreach (['body' => '0', 'parsed' => '1'] as $mode => $reading) {
            $folder = sys_get_temp_dir() . "/zt-php-kit-$mode-" . bin2hex(random_bytes(4));
            mkdir("$folder/up", 0777, true);
            mkdir("$folder/tmp");
            mkdir("$folder/tus");
            $s = stream_socket_server('tcp://127.0.0.1:0');
            $port = (int)substr(strrchr(stream_socket_get_name($s, false), ':'), 1);
            fclose($s);
            $dir = dirname(__DIR__);
            $server = proc_open(['php', '-d', "enable_post_data_reading=$reading", '-d', "upload_tmp_dir=$folder/tmp",
                '-S', "127.0.0.1:$port", "$dir/receive.php"], [
                1 => ['file', '/dev/null', 'w'], 2 => ['file', '/dev/null', 'w'],
            ], $pipes, $dir, ['ZTUPLOAD_DIR' => "$folder/up", 'ZTUPLOAD_TUS_DIR' => "$folder/tus"] + getenv());
            for ($i = 0; $i < 100 && !@fsockopen('127.0.0.1', $port); $i++) {
                usleep(100000);
            }
            self::$servers[$mode] = [$server, $port, $folder];
        }
    }

    public static function tearDownAfterClass(): void
    {
        foreach (self::$servers as [$server, , $folder]) {
            proc_terminate($server);
            proc_close($server);
            array_map('unlink', [...glob("$folder/up/*"), ...glob("$folder/tmp/*"), ...self::store($folder)]);
            rmdir("$folder/up");
            rmdir("$folder/tmp");
            rmdir("$folder/tus");
            rmdir($folder);
        }
    }

    public static function fixtures(): array
    {
        $out = [];
        foreach ([...glob(__DIR__ . '/../../fixtures/*.http'), ...glob(__DIR__ . '/../../fixtures/resumable/*.http')] as $raw) {
            $stem = basename($raw, '.http');
            $expected = json_decode(file_get_contents(substr($raw, 0, -5) . '.json'), true);
            $out["$stem (body)"] = ['body', $raw, $expected];
            if (array_key_exists($stem, self::PARSED_BY_PHP) || isset($expected['uploads'])) {
                $out["$stem (parsed by PHP)"] = ['parsed', $raw, self::PARSED_BY_PHP[$stem] ?? $expected];
            }
        }
        return $out;
    }

    /** @dataProvider fixtures */
    public function testFixture(string $mode, string $raw, array $expected): void
    {
        [, $port, $folder] = self::$servers[$mode];
        array_map('unlink', [...glob("$folder/up/*"), ...self::store($folder)]);
        // Requests naming tus uploads find theirs in the store: a taken upload
        // leaves it, a refused request leaves it as it was.
        foreach ($expected['uploads'] ?? [] as $id => ['length' => $length, 'data' => $data]) {
            file_put_contents("$folder/tus/$id", $data);
            file_put_contents("$folder/tus/$id.json", json_encode(['id' => $id, 'size' => $length, 'metadata' => []]));
        }
        unset($expected['uploads']);
        $before = array_map('file_get_contents', self::store($folder));
        [$status, $headers, $body] = $this->send($port, file_get_contents($raw));
        $this->assertStringContainsStringIgnoringCase("\r\nX-Content-Type-Options: nosniff", $headers);
        $this->assertSame([], glob("$folder/tmp/*"), 'no file is left in the temporary folder');
        if (isset($expected['error'])) {
            // The reply is the reason alone: nothing the sender wrote comes back.
            $this->assertSame([$expected['status'], $expected['error']], [$status, $body]);
            $this->assertSame([], glob("$folder/up/*"), 'a refused request stores nothing');
            $this->assertSame($before, array_map('file_get_contents', self::store($folder)));
            return;
        }
        $this->assertSame([200, 'OK'], [$status, $body]);
        $written = glob("$folder/up/*.json");
        $this->assertCount(1, $written);
        $got = json_decode(file_get_contents($written[0]), true);
        foreach ($got['rows'] as &$row) {
            if ($row['file'] !== null) {
                $this->assertSame($row['file']['sha256'], hash_file('sha256', "$folder/up/{$row['file']['stored']}"));
                unset($row['file']['stored']);
            }
        }
        $this->assertSame($expected, $got);
        $this->assertSame([], self::store($folder), 'a taken upload can be claimed no more');
    }

    public function testThePageServesTusUnderItsFolder(): void
    {
        [, $port] = self::$servers['body'];
        [$status, $headers] = $this->send($port, "OPTIONS /tus/ HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n");
        $this->assertSame(204, $status);
        $this->assertStringContainsStringIgnoringCase("\r\nTus-Extension: creation,termination", $headers);
    }

    /** @return array<string,string> every file of the tus store, by path */
    private static function store(string $folder): array
    {
        $paths = array_map(fn($n) => "$folder/tus/$n", array_values(array_diff(scandir("$folder/tus"), ['.', '..'])));
        return array_combine($paths, $paths);
    }

    /** Sends the raw request and reads the status, headers and body of the reply. */
    private function send(int $port, string $request): array
    {
        $c = fsockopen('127.0.0.1', $port);
        stream_set_timeout($c, 20);
        fwrite($c, $request);
        $reply = stream_get_contents($c);
        fclose($c);
        [$head, $body] = explode("\r\n\r\n", $reply, 2) + [1 => ''];
        return [(int)explode(' ', $head)[1], $head, $body];
    }
}
