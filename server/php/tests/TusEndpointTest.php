<?php
// The tus endpoint as a client meets it, in one upload's life: made, sent in
// pieces with the mistakes a client or a forger makes, interrupted, resumed,
// named by a POST that takes it once; and one deleted.
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use ZTFileUpload\TusEndpoint;
use ZTFileUpload\TusStore;
use ZTFileUpload\Upload;

require_once dirname(__DIR__) . '/ZTUpload.php';

final class TusEndpointTest extends TestCase
{
    private string $dir;
    private TusEndpoint $tus;

    protected function setUp(): void
    {
        $this->dir = sys_get_temp_dir() . '/zt-php-tus-' . bin2hex(random_bytes(4));
        $this->tus = new TusEndpoint(new TusStore("$this->dir/tus"), '/tus/', 1000);
    }

    protected function tearDown(): void
    {
        exec('rm -rf ' . escapeshellarg($this->dir));
    }

    private static function body(string $bytes)
    {
        $s = fopen('php://memory', 'w+b');
        fwrite($s, $bytes);
        rewind($s);
        return $s;
    }

    private function call(string $method, string $path, array $headers = [], string $body = ''): array
    {
        return $this->tus->answer($method, $path, $headers + ['tus-resumable' => '1.0.0'], self::body($body));
    }

    private function patch(string $id, int $offset, string $bytes, string $type = 'application/offset+octet-stream'): array
    {
        [$status, $h] = $this->call('PATCH', "/tus/$id", ['content-type' => $type, 'upload-offset' => (string)$offset], $bytes);
        return [$status, $h['Upload-Offset'] ?? null];
    }

    public function testAnUploadFromCreationToItsPost(): void
    {
        [$status, $h] = $this->call('OPTIONS', '/tus/', []);
        $this->assertSame([204, '1.0.0', 'creation,termination'], [$status, $h['Tus-Version'], $h['Tus-Extension']]);
        $this->assertSame(412, $this->tus->answer('POST', '/tus/', ['upload-length' => '5'], self::body(''))[0]);
        $this->assertSame(413, $this->call('POST', '/tus/', ['upload-length' => '1001'])[0], 'past Tus-Max-Size');
        $this->assertSame(400, $this->call('POST', '/tus/', ['upload-length' => '5', 'upload-metadata' => 'filename !!'])[0]);
        [$status, $h] = $this->call('POST', '/tus/', ['upload-length' => '5', 'host' => 'files.example:8080',
            'upload-metadata' => 'filename ' . base64_encode('보고서.txt') . ',size NQ==']);
        $this->assertSame(201, $status);
        $this->assertMatchesRegularExpression('~^http://files\.example:8080/tus/[0-9a-f]{32}$~', $h['Location']);
        $id = basename($h['Location']);
        $this->assertSame('보고서.txt', (new TusStore("$this->dir/tus"))->info($id)['metadata']['filename']);

        $this->assertSame(415, $this->patch($id, 0, 'ab', 'application/octet-stream')[0]);
        $this->assertSame(413, $this->patch($id, 0, 'abcdef')[0], 'past its length, and nothing of it kept');
        $this->assertSame([204, '2'], $this->patch($id, 0, 'ab'));
        $this->assertSame([409, '2'], $this->patch($id, 0, 'ab'), 'a stale offset');
        // While another PATCH holds the upload, a second one waits its turn.
        $held = fopen("$this->dir/tus/$id", 'rb');
        flock($held, LOCK_EX);
        $this->assertSame(423, $this->patch($id, 2, 'cde')[0]);
        fclose($held);
        $this->assertSame('2', $this->call('HEAD', "/tus/$id")[1]['Upload-Offset']);
        $this->assertSame(404, $this->call('HEAD', "/tus/../tus/$id")[0]);

        $post = function () use ($id): array {
            $B = 'b0b0b0b0-0000-4000-8000-000000000000';
            $body = self::body("--$B\r\nContent-Disposition: form-data; name=\"_ZTUInfo\"\r\n\r\nType|FileName|Size|\r\nN|a.txt|5|\r\n\r\n"
                . "--$B\r\nContent-Disposition: form-data; name=\"_ZTUResumable\"\r\n\r\na.txt|$id|\r\n\r\n"
                . "--$B\r\nContent-Disposition: form-data; name=\"a.txt\"; filename=\"a.txt\"\r\n\r\n\r\n--$B--\r\n");
            try {
                $u = Upload::fromStream($body, "multipart/form-data; boundary=$B", 'utf-8',
                    ['resumable' => new TusStore("$this->dir/tus"), 'tmpDir' => $this->dir]);
            } catch (\ZTFileUpload\UploadError $e) {
                return [$e->reason];
            }
            mkdir("$this->dir/up");
            return array_map('file_get_contents', $u->store("$this->dir/up"));
        };
        $this->assertSame(['incomplete'], $post(), 'not yet complete: refused, and the upload stays');
        $this->assertSame([204, '5'], $this->patch($id, 2, 'cde'));
        $this->assertSame([0 => 'abcde'], $post());
        $this->assertSame(['unknown-upload'], $post(), 'taken once');
        $this->assertSame(404, $this->patch($id, 5, '')[0]);
        $this->assertSame(['.', '..'], scandir("$this->dir/tus"));

        // One left a week ago goes when the next is made.
        $old = basename($this->call('POST', '/tus/', ['upload-length' => '3'])[1]['Location']);
        touch("$this->dir/tus/$old", time() - 8 * 24 * 3600);
        $other = basename($this->call('POST', '/tus/', ['upload-length' => '3'])[1]['Location']);
        $this->assertSame([404, 200], [$this->call('HEAD', "/tus/$old")[0], $this->call('HEAD', "/tus/$other")[0]]);
        $this->assertSame([204, 404], [$this->call('DELETE', "/tus/$other")[0], $this->call('HEAD', "/tus/$other")[0]]);
    }
}
