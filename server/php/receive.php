<?php
// An upload page for the ZTFileUpload control: set the control's URL to it.
// Files go to ZTUPLOAD_DIR (./uploads by default) under names this server
// makes; each accepted request leaves <id>.json beside them, saying what
// arrived and where each file went. Run: php -S 127.0.0.1:8080 receive.php
declare(strict_types=1);

require __DIR__ . '/ZTUpload.php';

use ZTFileUpload\Upload;
use ZTFileUpload\UploadError;

$folder = getenv('ZTUPLOAD_DIR') ?: __DIR__ . '/uploads';
// The control reads the reply in the encoding of its request and shows no
// charset: answer in kind, as plain short text.
$utf8 = strtolower(trim($_SERVER['HTTP_ACCEPT_LANGUAGE'] ?? '')) === 'utf-8';
$reply = function (int $status, string $text) use ($utf8): void {
    http_response_code($status);
    header('Content-Type: text/plain; charset=' . ($utf8 ? 'utf-8' : 'ks_c_5601-1987'));
    echo $utf8 ? $text : mb_convert_encoding($text, 'CP949', 'UTF-8');
};

// A page of another origin (the browser twin served elsewhere) may post here
// when ZTUPLOAD_CORS_ORIGIN names that origin exactly.
$origin = getenv('ZTUPLOAD_CORS_ORIGIN');
if ($origin && ($_SERVER['HTTP_ORIGIN'] ?? '') === $origin) {
    header("Access-Control-Allow-Origin: $origin");
    header('Vary: Origin');
    if (($_SERVER['REQUEST_METHOD'] ?? '') === 'OPTIONS') {
        http_response_code(204);
        header('Access-Control-Allow-Methods: POST');
        header('Access-Control-Allow-Headers: Content-Type, Accept-Language');
        header('Access-Control-Max-Age: 600');
        return;
    }
}
if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    $reply(405, 'POST only');
    return;
}
try {
    $upload = Upload::fromGlobals();
    if (!is_dir($folder)) {
        mkdir($folder, 0770, true);
    }
    $stored = $upload->store($folder);
    $account = $upload->toArray();
    foreach ($stored as $i => $path) {
        $account['rows'][$i]['file']['stored'] = basename($path);
    }
    // Names sort in arrival order.
    $id = sprintf("%016d-%s", (int)(microtime(true) * 1e6), bin2hex(random_bytes(4)));
    file_put_contents("$folder/$id.json.tmp", json_encode($account, JSON_UNESCAPED_UNICODE | JSON_PRETTY_PRINT));
    rename("$folder/$id.json.tmp", "$folder/$id.json");
    // Here a real page would act on the rows: N and U store, V keep, D delete.
    $reply(200, 'OK');
} catch (UploadError $e) {
    $reply(400, $e->getMessage());
}
