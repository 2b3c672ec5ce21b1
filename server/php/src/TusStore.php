<?php
declare(strict_types=1);

namespace ZTFileUpload;

/**
 * The uploads of a tus endpoint, kept in one folder: the bytes in <id>, the
 * account in <id>.json ({"id", "size", "metadata"}); the offset is the
 * length of <id>. The same layout as Node's @tus/file-store, so a POST can
 * name uploads of either. Ids are made here and checked before any use: an
 * id is never a path.
 */
final class TusStore
{
    public const ID = '/^[A-Za-z0-9_-]{1,128}$/D';

    public function __construct(public readonly string $directory)
    {
    }

    public static function validId(string $id): bool
    {
        return preg_match(self::ID, $id) === 1;
    }

    public function dataPath(string $id): string
    {
        if (!self::validId($id)) {
            throw new \InvalidArgumentException('not an upload id');
        }
        return $this->directory . DIRECTORY_SEPARATOR . $id;
    }

    /** @return array{id:string,size:int,metadata:array<string,string>}|null */
    public function info(string $id): ?array
    {
        $text = self::validId($id) ? @file_get_contents($this->dataPath($id) . '.json') : false;
        $info = $text === false ? null : json_decode($text, true);
        return is_array($info) && is_int($info['size'] ?? null) ? $info : null;
    }

    /** A new, empty upload of $length bytes; its id. */
    public function create(int $length, array $metadata): string
    {
        if (!is_dir($this->directory) && !@mkdir($this->directory, 0770, true) && !is_dir($this->directory)) {
            throw new \RuntimeException('the folder for uploads cannot be made');
        }
        $id = bin2hex(random_bytes(16));
        $path = $this->dataPath($id);
        // The account first: an upload is its data file, and claim() reads the account after it.
        $json = json_encode(['id' => $id, 'size' => $length, 'metadata' => (object)$metadata,
            'creation_date' => gmdate('c')], JSON_UNESCAPED_UNICODE);
        if (@file_put_contents("$path.json.tmp", $json) === false || !@rename("$path.json.tmp", "$path.json")
            || ($h = @fopen($path, 'xb')) === false) {
            @unlink("$path.json.tmp");
            @unlink("$path.json");
            throw new \RuntimeException('an upload cannot be made');
        }
        fclose($h);
        return $id;
    }

    /**
     * Removes the uploads nobody wrote to for $seconds, and what a request
     * that died while taking one left behind: a client that never finishes
     * cannot fill the disk for good. Returns how many files went.
     */
    public function removeExpired(int $seconds): int
    {
        $removed = 0;
        $before = time() - $seconds;
        foreach (is_dir($this->directory) ? scandir($this->directory) : [] as $name) {
            $path = $this->directory . DIRECTORY_SEPARATOR . $name;
            $stem = str_ends_with($name, '.json') ? substr($name, 0, -5) : $name;
            $data = $this->directory . DIRECTORY_SEPARATOR . $stem;
            if (!self::validId($stem) && !str_starts_with($name, '.claimed-')) {
                continue;
            }
            // An account goes with its data, or alone when its data was taken and never settled.
            // A taken one counts from when it was taken (a rename sets its ctime), not from its last byte.
            $mtime = str_starts_with($name, '.claimed-') ? @filectime($path) : @filemtime(is_file($data) ? $data : $path);
            if ($mtime !== false && $mtime < $before && @unlink($path)) {
                $removed++;
            }
        }
        return $removed;
    }

    /**
     * Takes the upload out of the store at once (a rename: of two requests
     * naming it, one gets it), or null when the store holds none of that id.
     */
    public function claim(string $id): ?ClaimedUpload
    {
        if (!self::validId($id)) {
            return null;
        }
        $data = $this->dataPath($id);
        $claimed = $this->directory . DIRECTORY_SEPARATOR . '.claimed-' . bin2hex(random_bytes(8));
        if (!is_file($data) || !@rename($data, $claimed)) {
            return null;
        }
        $upload = new ClaimedUpload($claimed, $data, (int)($this->info($id)['size'] ?? -1), (int)filesize($claimed));
        if ($upload->length < 0) {
            $upload->restore();
            return null;
        }
        return $upload;
    }
}
