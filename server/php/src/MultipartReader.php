<?php
declare(strict_types=1);

namespace ZTFileUpload;

/**
 * Reads a multipart/form-data body from a stream piece by piece, never the
 * whole of it in memory, and hands each part to a sink as it goes:
 * start($name, $filename or null), data($bytes), end(). Names are the raw
 * bytes between the quotes, as forms send them (a quote is sent as %22).
 */
final class MultipartReader
{
    private const CHUNK = 65536;
    private const MAX_HEADER = 16384;

    private string $delimiter;

    public function __construct(string $boundary)
    {
        $this->delimiter = "\r\n--" . $boundary;
    }

    /** The boundary of a Content-Type, or null when it is not multipart/form-data with one. */
    public static function boundary(string $contentType): ?string
    {
        if (!preg_match('~^\s*multipart/form-data\s*;(.*)$~is', $contentType, $m)
            || !preg_match('~(?:^|;)\s*boundary\s*=\s*(?:"([^"]{1,70})"|([^\s;"]{1,70}))~i', $m[1], $b)) {
            return null;
        }
        return $b[1] !== '' ? $b[1] : $b[2];
    }

    /**
     * @param resource $stream
     * @param callable(string,?string):void $start
     * @param callable(string):void $data
     * @param callable():void $end
     */
    public function read($stream, callable $start, callable $data, callable $end): void
    {
        // The first delimiter may open the body: seen as if a line end preceded it.
        // $at is where the unread text of $buffer begins (no copying per part).
        $buffer = "\r\n";
        $at = 0;
        $inPart = false;
        $delimiter = $this->delimiter;
        $keep = strlen($delimiter) - 1;
        $need = function (int $bytes) use (&$buffer, &$at, $stream): void {
            while (strlen($buffer) - $at < $bytes) {
                $buffer = substr($buffer, $at) . $this->more($stream);
                $at = 0;
            }
        };
        // A part's text follows the CR LF that ends its headers; that CR LF
        // stays unread so that an empty part meets its delimiter at once.
        $skip = 0;
        $emit = function (string $bytes) use (&$skip, $data): void {
            if ($skip > 0) {
                $cut = min($skip, strlen($bytes));
                $bytes = substr($bytes, $cut);
                $skip -= $cut;
            }
            if ($bytes !== '') {
                $data($bytes);
            }
        };
        while (true) {
            $found = strpos($buffer, $delimiter, $at);
            if ($found === false) {
                $unread = strlen($buffer) - $at;
                if ($inPart && $unread > $keep) {
                    $emit(substr($buffer, $at, $unread - $keep));
                }
                $buffer = substr($buffer, max($at, strlen($buffer) - $keep)) . $this->more($stream);
                $at = 0;
                continue;
            }
            if ($inPart) {
                $emit(substr($buffer, $at, $found - $at));
                $end();
                $inPart = false;
            }
            $at = $found + strlen($delimiter);
            $need(2);
            if (substr($buffer, $at, 2) === '--') {
                return;  // the close delimiter; what follows is an epilogue
            }
            if (substr($buffer, $at, 2) !== "\r\n") {
                throw new UploadError('not-multipart', 'a delimiter is not followed by a line end');
            }
            while (($headEnd = strpos($buffer, "\r\n\r\n", $at)) === false) {
                if (strlen($buffer) - $at > self::MAX_HEADER) {
                    throw new UploadError('not-multipart', 'the headers of a part are too long');
                }
                $need(strlen($buffer) - $at + 1);
            }
            [$name, $filename] = self::disposition(substr($buffer, $at + 2, $headEnd - $at - 2));
            $at = $headEnd + 2;
            $skip = 2;
            $start($name, $filename);
            $inPart = true;
        }
    }

    private function more($stream): string
    {
        $bytes = fread($stream, self::CHUNK);
        if ($bytes === false || $bytes === '') {
            if ($bytes === false || feof($stream)) {
                throw new UploadError('incomplete', 'the body ended before its close delimiter');
            }
        }
        return (string)$bytes;
    }

    /** @return array{string,?string} the name and, for a file part, the file name */
    private static function disposition(string $headers): array
    {
        foreach (explode("\r\n", $headers) as $line) {
            if (stripos($line, 'content-disposition:') !== 0) {
                continue;
            }
            $value = substr($line, strlen('content-disposition:'));
            if (!preg_match('/^\s*form-data\s*(;.*)?$/is', $value, $m)) {
                break;
            }
            preg_match_all('/;\s*([A-Za-z*]+)\s*=\s*(?:"([^"]*)"|([^;\s]*))/s', $m[1] ?? '', $params, PREG_SET_ORDER);
            $found = [];
            foreach ($params as $p) {
                $found[strtolower($p[1])] ??= ($p[2] ?? '') !== '' ? $p[2] : ($p[3] ?? '');
            }
            if (!isset($found['name'])) {
                break;
            }
            return [$found['name'], $found['filename'] ?? null];
        }
        throw new UploadError('not-multipart', 'a part has no form-data name');
    }
}
