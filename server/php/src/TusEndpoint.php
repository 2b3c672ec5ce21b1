<?php
declare(strict_types=1);

namespace ZTFileUpload;

/**
 * A tus 1.0 endpoint (core, creation, termination) over a TusStore: the
 * control's ResumableURL sends each file's bytes here, then the POST names
 * the upload. Nothing the client sends becomes a path: ids are made here and
 * checked; the offset is the stored file's length, read under a lock that
 * one PATCH at a time holds.
 */
final class TusEndpoint
{
    private const CHUNK = 65536;

    /**
     * @param string $basePath the URL path of the endpoint, ending with "/"
     * @param int|null $maxSize the largest upload taken (Tus-Max-Size), null for none
     * @param int|null $expireAfter seconds after its last byte an upload nobody named is removed, null never
     */
    public function __construct(
        private readonly TusStore $store,
        private readonly string $basePath = '/tus/',
        private readonly ?int $maxSize = null,
        private readonly ?int $expireAfter = 7 * 24 * 3600,
    ) {
    }

    /** Whether this request's path is the endpoint's. */
    public function owns(string $path): bool
    {
        return $path === rtrim($this->basePath, '/') || str_starts_with($path, $this->basePath);
    }

    /** Answers this request (from PHP's globals, the body from php://input). */
    public function serve(): void
    {
        $path = (string)parse_url($_SERVER['REQUEST_URI'] ?? '/', PHP_URL_PATH);
        $headers = [];
        foreach ($_SERVER as $k => $v) {
            if (str_starts_with($k, 'HTTP_')) {
                $headers[strtolower(str_replace('_', '-', substr($k, 5)))] = (string)$v;
            }
        }
        foreach (['CONTENT_TYPE' => 'content-type', 'CONTENT_LENGTH' => 'content-length'] as $k => $h) {
            if (isset($_SERVER[$k])) {
                $headers[$h] = (string)$_SERVER[$k];
            }
        }
        $body = fopen('php://input', 'rb');
        try {
            [$status, $out] = $this->answer(strtoupper($_SERVER['REQUEST_METHOD'] ?? 'GET'), $path, $headers, $body,
                ($_SERVER['HTTPS'] ?? '') !== '' && ($_SERVER['HTTPS'] ?? '') !== 'off');
        } finally {
            fclose($body);
        }
        http_response_code($status);
        foreach ($out as $name => $value) {
            header("$name: $value");
        }
    }

    /**
     * The status and headers for one request.
     * @param array<string,string> $headers lower-case names
     * @param resource $body
     * @return array{int,array<string,string>}
     */
    public function answer(string $method, string $path, array $headers, $body, bool $https = false): array
    {
        $base = ['Tus-Resumable' => '1.0.0', 'Cache-Control' => 'no-store', 'X-Content-Type-Options' => 'nosniff'];
        if ($method === 'OPTIONS') {
            return [204, $base + ['Tus-Version' => '1.0.0', 'Tus-Extension' => 'creation,termination']
                + ($this->maxSize !== null ? ['Tus-Max-Size' => (string)$this->maxSize] : [])];
        }
        if (($headers['tus-resumable'] ?? '') !== '1.0.0') {
            return [412, $base + ['Tus-Version' => '1.0.0']];
        }
        $id = substr($path, strlen($this->basePath));
        if ($path === rtrim($this->basePath, '/') || $id === '') {
            return $method === 'POST' ? $this->create($headers, $https, $base) : [405, $base + ['Allow' => 'OPTIONS, POST']];
        }
        if (!str_starts_with($path, $this->basePath) || !TusStore::validId($id)) {
            return [404, $base];
        }
        return match ($method) {
            'HEAD' => $this->offset($id, $base),
            'PATCH' => $this->append($id, $headers, $body, $base),
            'DELETE' => $this->delete($id, $base),
            default => [405, $base + ['Allow' => 'OPTIONS, HEAD, PATCH, DELETE']],
        };
    }

    private function create(array $headers, bool $https, array $base): array
    {
        $length = $headers['upload-length'] ?? '';
        if (!preg_match('/^[0-9]{1,16}$/D', $length) || (int)$length > Upload::MAX_SIZE) {
            return [400, $base];  // a deferred length is not offered
        }
        if ($this->maxSize !== null && (int)$length > $this->maxSize) {
            return [413, $base];
        }
        $metadata = self::metadata($headers['upload-metadata'] ?? '');
        if ($metadata === null) {
            return [400, $base];
        }
        if ($this->expireAfter !== null) {
            $this->store->removeExpired($this->expireAfter);  // each new upload sweeps the old ones
        }
        try {
            $id = $this->store->create((int)$length, $metadata);
        } catch (\RuntimeException) {
            return [500, $base];
        }
        // Back through the host the client used; a Host that is no host name gives a relative URL.
        $host = $headers['host'] ?? '';
        $prefix = preg_match('/^[A-Za-z0-9.-]+(:[0-9]{1,5})?$|^\[[0-9A-Fa-f:.]+\](:[0-9]{1,5})?$/D', $host)
            ? ($https ? 'https' : 'http') . "://$host" : '';
        return [201, $base + ['Location' => $prefix . $this->basePath . $id]];
    }

    private function offset(string $id, array $base): array
    {
        $info = $this->store->info($id);
        clearstatcache();
        $size = @filesize($this->store->dataPath($id));
        if ($info === null || $size === false) {
            return [404, $base];
        }
        return [200, $base + ['Upload-Offset' => (string)$size, 'Upload-Length' => (string)$info['size']]];
    }

    /** @param resource $body */
    private function append(string $id, array $headers, $body, array $base): array
    {
        if (strtolower(trim(explode(';', $headers['content-type'] ?? '')[0])) !== 'application/offset+octet-stream') {
            return [415, $base];
        }
        $claimed = $headers['upload-offset'] ?? '';
        if (!preg_match('/^[0-9]{1,16}$/D', $claimed)) {
            return [400, $base];
        }
        $info = $this->store->info($id);
        $path = $this->store->dataPath($id);
        $h = $info === null ? false : @fopen($path, 'r+b');
        if ($h === false) {
            return [404, $base];
        }
        try {
            if (!flock($h, LOCK_EX | LOCK_NB)) {
                return [423, $base];  // another PATCH is writing it
            }
            clearstatcache();
            $stat = fstat($h);
            // Taken by a POST (or deleted) between the open and the lock.
            if (@fileinode($path) !== $stat['ino']) {
                return [404, $base];
            }
            $offset = $stat['size'];
            $length = $info['size'];
            if ((int)$claimed !== $offset) {
                return [409, $base + ['Upload-Offset' => (string)$offset]];
            }
            $declared = $headers['content-length'] ?? null;
            if ($declared !== null && (!ctype_digit($declared) || $offset + (int)$declared > $length)) {
                return [413, $base];
            }
            fseek($h, $offset);
            $at = $offset;
            while (!feof($body)) {
                $bytes = fread($body, self::CHUNK);
                if ($bytes === false || $bytes === '') {
                    break;
                }
                if ($at + strlen($bytes) > $length) {
                    // More than the upload's length: none of this request is kept.
                    ftruncate($h, $offset);
                    return [413, $base];
                }
                if (fwrite($h, $bytes) !== strlen($bytes)) {
                    ftruncate($h, $at);
                    return [500, $base];
                }
                $at += strlen($bytes);
            }
            // What arrived before a cut is kept: the client asks HEAD and goes on from there.
            fflush($h);
            return [204, $base + ['Upload-Offset' => (string)$at]];
        } finally {
            fclose($h);
        }
    }

    private function delete(string $id, array $base): array
    {
        $path = $this->store->dataPath($id);
        $h = @fopen($path, 'r+b');
        if ($h === false) {
            return [404, $base];
        }
        try {
            if (!flock($h, LOCK_EX | LOCK_NB)) {
                return [423, $base];
            }
            if (@fileinode($path) !== fstat($h)['ino']) {
                return [404, $base];
            }
            @unlink($path);
            @unlink("$path.json");
            return [204, $base];
        } finally {
            fclose($h);
        }
    }

    /** Upload-Metadata: "key base64" pairs, comma-separated; null when it is not that. */
    private static function metadata(string $header): ?array
    {
        if (strlen($header) > 4096) {
            return null;
        }
        $out = [];
        foreach ($header === '' ? [] : explode(',', $header) as $pair) {
            $kv = explode(' ', trim($pair));
            if (count($kv) > 2 || !preg_match('/^[\x21-\x7E]+$/D', $kv[0]) || isset($out[$kv[0]])) {
                return null;
            }
            $value = base64_decode($kv[1] ?? '', true);
            if ($value === false || !mb_check_encoding($value, 'UTF-8')) {
                return null;
            }
            $out[$kv[0]] = $value;
        }
        return $out;
    }
}
