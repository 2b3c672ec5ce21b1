<?php
// An upload page for the ZTFileUpload control: set the control's URL to it.
// Files go to ZTUPLOAD_DIR (by default a folder in the system's temporary
// folder: never under the document root) under names this server makes; each
// accepted request leaves <id>.json beside them, saying what arrived and
// where each file went. Under /tus/ it is a tus 1.0 endpoint for the
// control's ResumableURL, keeping uploads in ZTUPLOAD_TUS_DIR (by default
// ZTUPLOAD_DIR/.tus) until a POST names them. Run it with the setting that
// keeps every name:
//   php -d enable_post_data_reading=0 -S 127.0.0.1:8080 receive.php
declare(strict_types=1);

require __DIR__ . '/ZTUpload.php';

use ZTFileUpload\Reply;
use ZTFileUpload\TusEndpoint;
use ZTFileUpload\TusStore;
use ZTFileUpload\Upload;
use ZTFileUpload\UploadError;

$folder = getenv('ZTUPLOAD_DIR') ?: sys_get_temp_dir() . '/ztfileupload';
$tus = new TusStore(getenv('ZTUPLOAD_TUS_DIR') ?: "$folder/.tus");

// A page of another origin (the browser twin served elsewhere) may post here
// when ZTUPLOAD_CORS_ORIGIN names that origin exactly.
// Its tus endpoint too: a browser's preflight asks for the tus methods and
// headers, and a page reads the tus answers' headers only when exposed.
$endpoint = new TusEndpoint($tus, '/tus/');
$isTus = $endpoint->owns((string)parse_url($_SERVER['REQUEST_URI'] ?? '/', PHP_URL_PATH));
$origin = getenv('ZTUPLOAD_CORS_ORIGIN');
if ($origin && ($_SERVER['HTTP_ORIGIN'] ?? '') === $origin) {
    header("Access-Control-Allow-Origin: $origin");
    header('Vary: Origin');
    $preflight = isset($_SERVER['HTTP_ACCESS_CONTROL_REQUEST_METHOD']);
    if (($_SERVER['REQUEST_METHOD'] ?? '') === 'OPTIONS' && (!$isTus || $preflight)) {
        http_response_code(204);
        header('Access-Control-Allow-Methods: ' . ($isTus ? 'OPTIONS, POST, HEAD, PATCH, DELETE' : 'POST'));
        header('Access-Control-Allow-Headers: ' . ($isTus
            ? 'Content-Type, Tus-Resumable, Upload-Length, Upload-Metadata, Upload-Offset' : 'Content-Type, Accept-Language'));
        header('Access-Control-Max-Age: 600');
        return;
    }
    if ($isTus) {
        header('Access-Control-Expose-Headers: Location, Tus-Resumable, Tus-Version, Tus-Extension, Tus-Max-Size, Upload-Offset, Upload-Length');
    }
}
if ($isTus) {
    $endpoint->serve();
    return;
}
if (($_SERVER['REQUEST_METHOD'] ?? '') !== 'POST') {
    Reply::send(405, 'POST only');
    return;
}
$upload = null;
try {
    $upload = Upload::fromGlobals(['resumable' => $tus]);
    if (!is_dir($folder) && !@mkdir($folder, 0770, true) && !is_dir($folder)) {
        throw new UploadError('store-failed', 'the folder for uploads cannot be made');
    }
    $stored = $upload->store($folder);
    $account = $upload->toArray();
    foreach ($stored as $i => $path) {
        $account['rows'][$i]['file']['stored'] = basename($path);
    }
    // Names sort in arrival order.
    $id = sprintf("%016d-%s", (int)(microtime(true) * 1e6), bin2hex(random_bytes(4)));
    // Files without their account would be files nobody knows about.
    if (!@file_put_contents("$folder/$id.json.tmp", json_encode($account, JSON_UNESCAPED_UNICODE))
        || !@rename("$folder/$id.json.tmp", "$folder/$id.json")) {
        @unlink("$folder/$id.json.tmp");
        array_map('unlink', $stored);
        throw new UploadError('store-failed', 'the account of the upload cannot be written');
    }
    // Here a real page would act on the rows: N and U store, V keep, D delete.
    Reply::send(200, 'OK');
} catch (UploadError $e) {
    error_log($e->getMessage());
    Reply::error($e);
} finally {
    $upload?->discard();  // what was received and not stored, whatever happened
}
