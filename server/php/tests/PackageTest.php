<?php
// The kit as PHP developers take it in: installed by Composer from a path
// repository into an empty project, and fed through Symfony's Request (which
// Laravel's extends), the body or the parsed bags.
declare(strict_types=1);

use PHPUnit\Framework\TestCase;
use Symfony\Component\HttpFoundation\File\UploadedFile as SymfonyFile;
use Symfony\Component\HttpFoundation\Request;
use ZTFileUpload\Upload;
use ZTFileUpload\UploadError;

require_once dirname(__DIR__) . '/ZTUpload.php';
require_once '/usr/share/php/Symfony/Component/HttpFoundation/autoload.php';

final class PackageTest extends TestCase
{
    private const FIXTURES = __DIR__ . '/../../fixtures/';

    public function testComposerInstallsItIntoAnEmptyProject(): void
    {
        $project = sys_get_temp_dir() . '/zt-php-composer-' . bin2hex(random_bytes(4));
        mkdir($project);
        try {
            file_put_contents("$project/composer.json", json_encode([
                'repositories' => [['type' => 'path', 'url' => dirname(__DIR__), 'options' => ['symlink' => false]],
                    ['packagist.org' => false]],
                'require' => ['ztfileupload/server' => '*@dev'],
            ]));
            file_put_contents("$project/try.php", '<?php require "vendor/autoload.php";
                $s = fopen($argv[1], "rb"); $head = "";
                while (($l = fgets($s)) !== "\r\n") { $head .= $l; }
                preg_match("/^Content-Type: (.*)\r$/mi", $head, $m);
                echo json_encode(ZTFileUpload\Upload::fromStream($s, $m[1], "utf-8", ["tmpDir" => __DIR__])->toArray());');
            exec('cd ' . escapeshellarg($project) . ' && COMPOSER_HOME=' . escapeshellarg("$project/.home")
                . ' composer install --no-interaction --quiet 2>&1', $out, $status);
            $this->assertSame(0, $status, implode("\n", $out));
            $got = shell_exec('php ' . escapeshellarg("$project/try.php") . ' ' . escapeshellarg(self::FIXTURES . 'x-php-collisions.http'));
            $this->assertSame(json_decode(file_get_contents(self::FIXTURES . 'x-php-collisions.json'), true),
                json_decode((string)$got, true));
        } finally {
            exec('rm -rf ' . escapeshellarg($project));
        }
    }

    public function testSymfonyRequestsByBodyAndByBags(): void
    {
        // By body: what Request::createFromGlobals() gives with enable_post_data_reading off.
        $raw = file_get_contents(self::FIXTURES . 'x-php-brackets.http');
        [$head, $body] = explode("\r\n\r\n", $raw, 2);
        preg_match('/^Content-Type: (.*)$/mi', $head, $type);
        $server = ['CONTENT_TYPE' => trim($type[1]), 'HTTP_ACCEPT_LANGUAGE' => 'utf-8'];
        $tmp = sys_get_temp_dir();
        $upload = Upload::fromRequest(Request::create('/upload', 'POST', [], [], [], $server, $body), ['tmpDir' => $tmp]);
        $this->assertSame(json_decode(file_get_contents(self::FIXTURES . 'x-php-brackets.json'), true),
            json_decode(json_encode($upload->toArray()), true));
        $upload->discard();

        // By bags: what PHP parsed; a refusal is an UploadError the page's catch sees.
        $file = tempnam($tmp, 'zt');
        file_put_contents($file, 'abcde');
        $manifest = "Type|FileName|Size|\r\nN|a.txt|5|\r\n";
        $bags = fn (string $name) => Request::create('/upload', 'POST', ['_ZTUInfo' => $manifest], [],
            ['f' => new SymfonyFile($file, $name, null, UPLOAD_ERR_OK, true)], $server);
        $this->assertSame(5, Upload::fromRequest($bags('a.txt'))->rows[0]->file->size);
        try {
            Upload::fromRequest($bags('x.php'));
            $this->fail('a file no row lists was taken');
        } catch (UploadError $e) {
            $this->assertSame(['unlisted-file', 400], [$e->reason, $e->status]);
        } finally {
            @unlink($file);
        }
    }
}
