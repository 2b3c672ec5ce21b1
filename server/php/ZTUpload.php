<?php
// Reads one request of the ZTFileUpload control: message fields, the
// _ZTUInfo manifest and the uploaded files, checked against each other.
// Needs PHP 8.1 or later (for $_FILES' full_path) and mbstring for code
// page 949 requests.
declare(strict_types=1);

namespace ZTFileUpload;

/** A request that does not add up; nothing of it has been stored. */
final class UploadError extends \RuntimeException
{
    /** One of: not-multipart, too-large, incomplete, bad-encoding, bad-manifest,
     *  bad-name, duplicate-name, unlisted-file, duplicate-file, size-mismatch,
     *  no-manifest, store-failed */
    public string $reason;

    public function __construct(string $reason, string $message)
    {
        parent::__construct($reason . ': ' . $message);
        $this->reason = $reason;
    }
}

/** An uploaded file part: in PHP's temporary folder, then where store() put it. */
final class UploadedFile
{
    private ?string $digest = null;

    public function __construct(
        public string $path,
        public readonly int $size,
    ) {
    }

    public function sha256(): string
    {
        return $this->digest ??= (string)hash_file('sha256', $this->path);
    }
}

/** One manifest row: N (new file), U (replaces a server file), V (server
 *  file kept), D (server file deleted). */
final class Row
{
    /** @param array<string,string> $attributes */
    public function __construct(
        public readonly string $type,
        public readonly string $name,
        public readonly int $size,
        public readonly array $attributes,
        public ?UploadedFile $file = null,
    ) {
    }

    /** N and U rows may carry a file; N rows whose file the client could not
     *  read arrive without one. */
    public function carriesFile(): bool
    {
        return $this->type === 'N' || $this->type === 'U';
    }
}

final class Upload
{
    const MANIFEST = '_ZTUInfo';
    // The control writes these five characters of a name as %XX, in capitals.
    const ESCAPES = ['%22' => '"', '%0D' => "\r", '%0A' => "\n", '%7C' => '|', '%00' => "\0"];
    // Sizes both kits can hold exactly (JavaScript's safe integers).
    const MAX_SIZE = 9007199254740991;

    /** @var list<array{name:string,value:string}> */
    public array $fields = [];
    public bool $hasManifest = false;
    /** @var list<string> */
    public array $attributes = [];
    /** @var list<Row> */
    public array $rows = [];
    public string $encoding;

    private function __construct(string $encoding)
    {
        $this->encoding = $encoding;
    }

    /**
     * The request PHP has just parsed into $_POST and $_FILES.
     * $ansi: the code page of clients that do not send UTF-8 (Korean Windows: CP949).
     */
    public static function fromGlobals(string $ansi = 'CP949'): self
    {
        return self::fromParts($_SERVER, $_POST, $_FILES, $ansi, true);
    }

    /**
     * The same from arrays shaped like $_SERVER, $_POST and $_FILES.
     * $uploaded: tmp_name must be a file PHP received in this request.
     */
    public static function fromParts(array $server, array $post, array $files, string $ansi = 'CP949',
                                     bool $uploaded = false): self
    {
        $type = (string)($server['CONTENT_TYPE'] ?? '');
        if (stripos($type, 'multipart/form-data') !== 0 || stripos($type, 'boundary=') === false) {
            throw new UploadError('not-multipart', 'the request is not multipart/form-data with a boundary');
        }
        $length = (int)($server['CONTENT_LENGTH'] ?? 0);
        $limit = self::iniBytes((string)ini_get('post_max_size'));
        if ($limit > 0 && $length > $limit) {
            throw new UploadError('too-large', "the request's $length bytes exceed post_max_size");
        }
        if ($post === [] && $files === []) {
            // Every request of the control carries a part; PHP also empties
            // both when it could not read the body.
            throw new UploadError('incomplete', 'the request carries no part');
        }
        $utf8 = strtolower(trim((string)($server['HTTP_ACCEPT_LANGUAGE'] ?? ''))) === 'utf-8';
        $u = new self($utf8 ? 'UTF-8' : $ansi);

        $manifest = null;
        foreach (self::flattenFields($post) as [$name, $value]) {
            $name = $u->text($name, 'a field name');
            if ($name === self::MANIFEST) {
                if ($manifest !== null) {
                    throw new UploadError('bad-manifest', 'the request holds two manifests');
                }
                $manifest = $value;
                continue;
            }
            $u->fields[] = ['name' => self::unescape($name), 'value' => $u->text($value, "the value of $name")];
        }
        if ($manifest !== null) {
            $u->readManifest($u->text($manifest, 'the manifest'));
        }
        $u->attachFiles(self::flattenFiles($files), $uploaded);
        return $u;
    }

    /** The value of the first message field called $name (case ignored). */
    public function field(string $name): ?string
    {
        foreach ($this->fields as $f) {
            if (mb_strtoupper($f['name'], 'UTF-8') === mb_strtoupper($name, 'UTF-8')) {
                return $f['value'];
            }
        }
        return null;
    }

    /**
     * Moves every received file into $folder under a name this server makes
     * (random hexadecimal, no extension: never the sender's text). Returns
     * the stored paths by row index. On any failure the files already moved
     * are removed again and UploadError is thrown.
     * @return array<int,string>
     */
    public function store(string $folder): array
    {
        if (!is_dir($folder) || !is_writable($folder)) {
            throw new UploadError('store-failed', 'the folder for uploads does not exist or cannot be written');
        }
        $stored = [];
        foreach ($this->rows as $i => $row) {
            if ($row->file === null) {
                continue;
            }
            $path = rtrim($folder, '/\\') . DIRECTORY_SEPARATOR . bin2hex(random_bytes(16));
            $from = $row->file->path;
            $row->file->sha256();  // while the file is where PHP put it
            $moved = is_uploaded_file($from) ? move_uploaded_file($from, $path) : rename($from, $path);
            if (!$moved) {
                foreach ($stored as $done) {
                    @unlink($done);
                }
                $stored = [];
                throw new UploadError('store-failed', 'a file could not be moved into the folder for uploads');
            }
            $row->file->path = $path;
            $stored[$i] = $path;
        }
        return $stored;
    }

    /** What was understood, as plain arrays (the same shape the Node kit gives). */
    public function toArray(): array
    {
        $rows = [];
        foreach ($this->rows as $r) {
            $rows[] = [
                'type' => $r->type, 'name' => $r->name, 'size' => $r->size,
                'attributes' => (object)$r->attributes,
                'file' => $r->file === null ? null : ['size' => $r->file->size, 'sha256' => $r->file->sha256()],
            ];
        }
        return [
            'encoding' => $this->encoding === 'UTF-8' ? 'utf-8' : strtolower($this->encoding),
            'fields' => $this->fields,
            'manifest' => $this->hasManifest,
            'attributes' => $this->attributes,
            'rows' => $rows,
        ];
    }

    /** A name as the sender meant it: the five escapes undone. */
    public static function unescape(string $name): string
    {
        return strtr($name, self::ESCAPES);
    }

    // ------------------------------------------------------------------

    private function text(string $bytes, string $what): string
    {
        if (!mb_check_encoding($bytes, $this->encoding)) {
            throw new UploadError('bad-encoding', "$what is not valid {$this->encoding}");
        }
        return $this->encoding === 'UTF-8' ? $bytes : mb_convert_encoding($bytes, 'UTF-8', $this->encoding);
    }

    private function readManifest(string $text): void
    {
        $this->hasManifest = true;
        if ($text === '') {
            return;
        }
        if (!str_ends_with($text, "\n")) {
            throw new UploadError('bad-manifest', 'the last row has no line end');
        }
        $lines = explode("\n", substr($text, 0, -1));
        $header = self::fields(array_shift($lines), 0);
        if (array_slice($header, 0, 3) !== ['Type', 'FileName', 'Size']) {
            throw new UploadError('bad-manifest', 'the manifest does not start with its header row');
        }
        $this->attributes = array_slice($header, 3);
        if (count(array_unique($this->attributes)) !== count($this->attributes)) {
            throw new UploadError('bad-manifest', 'an attribute name appears twice in the header row');
        }
        $seen = [];
        foreach ($lines as $n => $line) {
            $f = self::fields($line, $n + 2);
            if (count($f) !== count($header)) {
                throw new UploadError('bad-manifest', sprintf('row %d has %d fields, the header %d',
                    $n + 2, count($f), count($header)));
            }
            if (!in_array($f[0], ['N', 'U', 'V', 'D'], true)) {
                throw new UploadError('bad-manifest', sprintf('row %d has the unknown type "%s"', $n + 2, $f[0]));
            }
            if (!preg_match('/^-?[0-9]{1,16}$/', $f[2]) || abs((int)$f[2]) > self::MAX_SIZE) {
                throw new UploadError('bad-manifest', sprintf('row %d has no valid size', $n + 2));
            }
            $name = self::checkedName($f[1]);
            if ($f[0] !== 'D') {
                // Entries of the list are unique ignoring case; deleted rows may repeat a name.
                $key = mb_strtoupper($name, 'UTF-8');
                if (isset($seen[$key])) {
                    throw new UploadError('duplicate-name', "two entries of the list are called \"$name\"");
                }
                $seen[$key] = true;
            }
            $this->rows[] = new Row($f[0], $name, (int)$f[2],
                array_combine($this->attributes, array_slice($f, 3)) ?: []);
        }
    }

    /** The fields of one row: each is followed by "|", the row by CR LF or LF. */
    private static function fields(string $line, int $number): array
    {
        if (str_ends_with($line, "\r")) {
            $line = substr($line, 0, -1);
        }
        if ($line === '' || !str_ends_with($line, '|') || str_contains($line, "\r") || str_contains($line, "\0")) {
            throw new UploadError('bad-manifest', "row $number is not a run of fields each ended by |");
        }
        return explode('|', substr($line, 0, -1));
    }

    private static function checkedName(string $raw): string
    {
        $name = self::unescape($raw);
        if ($name === '' || $name === '.' || $name === '..' || strpbrk($name, "/\\") !== false
            || preg_match('/[\x00-\x1f\x7f]/', $name)) {
            throw new UploadError('bad-name', sprintf('the name "%s" is empty, a path or holds control characters',
                addcslashes($name, "\0..\37\\\"")));
        }
        return $name;
    }

    /** @param list<array{string,string,string,int,int}> $files [full_path, tmp_name, field, error, size] */
    private function attachFiles(array $files, bool $uploaded): void
    {
        $max = (int)ini_get('max_file_uploads');
        foreach ($files as [$fullPath, $tmp, $field, $error, $size]) {
            if ($error !== UPLOAD_ERR_OK) {
                $reason = match ($error) {
                    UPLOAD_ERR_PARTIAL => 'incomplete',
                    UPLOAD_ERR_INI_SIZE, UPLOAD_ERR_FORM_SIZE => 'too-large',
                    UPLOAD_ERR_NO_FILE => 'unlisted-file',  // a file part without a name
                    default => 'store-failed',              // no temporary folder, disk full
                };
                throw new UploadError($reason, sprintf('PHP did not receive the file part "%s" (upload error %d)',
                    $field, $error));
            }
            if ($uploaded && !is_uploaded_file($tmp)) {
                throw new UploadError('unlisted-file', 'a file part was not received with this request');
            }
            $name = self::unescape($this->text($fullPath, 'a file name'));
            $row = null;
            foreach ($this->rows as $r) {
                if ($r->carriesFile() && $r->name === $name) {
                    $row = $r;
                }
            }
            if ($row === null) {
                throw new UploadError('unlisted-file', sprintf('the file part "%s" has no N or U row in the manifest',
                    addcslashes($name, "\0..\37\\\"")));
            }
            if ($row->file !== null) {
                throw new UploadError('duplicate-file', "two file parts are called \"{$row->name}\"");
            }
            if ($size !== $row->size) {
                throw new UploadError('size-mismatch', sprintf('"%s" has %d bytes, its row says %d',
                    $row->name, $size, $row->size));
            }
            $row->file = new UploadedFile($tmp, $size);
        }
        if ($max > 0 && count($files) >= $max) {
            foreach ($this->rows as $r) {
                if ($r->carriesFile() && $r->file === null) {
                    throw new UploadError('too-large', "the request has more files than max_file_uploads ($max)");
                }
            }
        }
    }

    /**
     * $_POST's fields in order, names as sent where PHP keeps them: PHP turns
     * "a[b]" into nested arrays (joined back here) and "." or " " into "_".
     * @return list<array{string,string}>
     */
    private static function flattenFields(array $post, string $prefix = ''): array
    {
        $out = [];
        foreach ($post as $k => $v) {
            $name = $prefix === '' ? (string)$k : "{$prefix}[$k]";
            if (is_array($v)) {
                array_push($out, ...self::flattenFields($v, $name));
            } else {
                $out[] = [$name, (string)$v];
            }
        }
        return $out;
    }

    /**
     * Every file part of $_FILES, whatever nesting its field name gave it.
     * A part's name is taken from full_path: PHP cuts "name" at the last
     * slash or backslash, which would hide a sender's path.
     */
    private static function flattenFiles(array $files): array
    {
        $out = [];
        $walk = function ($full, $tmp, $err, $size, string $field) use (&$walk, &$out) {
            if (is_array($tmp)) {
                foreach ($tmp as $k => $t) {
                    $walk($full[$k] ?? '', $t, $err[$k] ?? UPLOAD_ERR_NO_FILE, $size[$k] ?? 0, "{$field}[$k]");
                }
                return;
            }
            $out[] = [(string)$full, (string)$tmp, $field, (int)$err, (int)$size];
        };
        foreach ($files as $field => $f) {
            $walk($f['full_path'] ?? $f['name'] ?? '', $f['tmp_name'] ?? '', $f['error'] ?? UPLOAD_ERR_NO_FILE,
                $f['size'] ?? 0, (string)$field);
        }
        return $out;
    }

    private static function iniBytes(string $v): int
    {
        $n = (int)$v;
        return match (strtoupper(substr(trim($v), -1))) {
            'G' => $n << 30, 'M' => $n << 20, 'K' => $n << 10, default => $n,
        };
    }
}
