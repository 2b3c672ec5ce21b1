<?php
declare(strict_types=1);

namespace ZTFileUpload;

/**
 * One request of the ZTFileUpload control: message fields, the _ZTUInfo
 * manifest and the uploaded files, checked against each other. A request
 * that does not add up is refused with an UploadError and leaves no file.
 */
final class Upload
{
    public const MANIFEST = '_ZTUInfo';
    // Names the uploads that brought files by tus: "<name>|<upload id>|" rows.
    public const RESUMABLE = '_ZTUResumable';
    // The control writes these five characters of a name as %XX, in capitals.
    public const ESCAPES = ['%22' => '"', '%0D' => "\r", '%0A' => "\n", '%7C' => '|', '%00' => "\0"];
    // Sizes both kits can hold exactly (JavaScript's safe integers).
    public const MAX_SIZE = 9007199254740991;
    /** Limits that protect a server; each may be raised (null: no limit). */
    public const DEFAULTS = [
        'ansiEncoding' => 'CP949',      // clients that do not send UTF-8 (Korean Windows)
        'tmpDir' => null,               // where files wait while read from the body (PHP's upload_tmp_dir)
        'maxFields' => 1000,            // message fields
        'maxFieldBytes' => 4 << 20,     // one field; the manifest too
        'maxFieldsBytes' => 16 << 20,   // all fields together
        'maxRows' => 10000,             // manifest rows
        'maxFileBytes' => null,         // one file
        'maxTotalBytes' => null,        // all files together
        'allowRiskyNames' => false,     // take names risky to store or show, flagged on their row
        'resumable' => null,            // the TusStore of your tus endpoint: files sent by tus
    ];

    /** @var list<array{name:string,value:string}> */
    public array $fields = [];
    public bool $hasManifest = false;
    /** @var list<string> */
    public array $attributes = [];
    /** @var list<Row> */
    public array $rows = [];
    public string $encoding;
    /** @var array<string,Row> the N and U rows by name */
    private array $byName = [];
    private array $options;
    private bool $resumableSeen = false;
    /** @var list<ClaimedUpload> taken from the tus store by this request */
    private array $claims = [];

    private function __construct(string $encoding, array $options)
    {
        $this->encoding = $encoding;
        $this->options = $options;
    }

    /**
     * This request. With enable_post_data_reading off (the setting that keeps
     * every name as sent) the body is read here from php://input; otherwise
     * from what PHP parsed into $_POST and $_FILES, refusing (name-mangled)
     * what PHP would have renamed or merged.
     */
    public static function fromGlobals(array $options = []): self
    {
        $options = self::options($options);
        if (!ini_get('enable_post_data_reading')) {
            $input = fopen('php://input', 'rb');
            try {
                return self::fromStream($input, $_SERVER['CONTENT_TYPE'] ?? '', $_SERVER['HTTP_ACCEPT_LANGUAGE'] ?? '',
                    $options);
            } finally {
                fclose($input);
            }
        }
        return self::fromParts($_SERVER, $_POST, $_FILES, $options, true);
    }

    /**
     * A Symfony (or Laravel) Request: its body when it has one, else its
     * parsed bags, as fromGlobals.
     */
    public static function fromRequest(\Symfony\Component\HttpFoundation\Request $request, array $options = []): self
    {
        $options = self::options($options);
        $type = (string)$request->headers->get('Content-Type', '');
        $language = (string)$request->headers->get('Accept-Language', '');
        $body = $request->getContent(true);
        if (!feof($body) && ($first = fread($body, 1)) !== '' && $first !== false) {
            $rest = fopen('php://temp', 'w+b');
            fwrite($rest, $first);
            stream_copy_to_stream($body, $rest);
            rewind($rest);
            try {
                return self::fromStream($rest, $type, $language, $options);
            } finally {
                fclose($rest);
            }
        }
        $files = [];
        foreach ($request->files->all() as $field => $file) {
            if ($file instanceof \Symfony\Component\HttpFoundation\File\UploadedFile) {
                // Symfony keeps only the base of the sent name: as fromParts without full_path.
                $files[$field] = ['full_path' => $file->getClientOriginalName(), 'tmp_name' => $file->getPathname(),
                    'error' => $file->getError(), 'size' => (int)@filesize($file->getPathname())];
            }
        }
        return self::fromParts($request->server->all(), $request->request->all(), $files, $options, false);
    }

    /**
     * A body read piece by piece from $stream (never held in memory whole);
     * every part is checked as it starts and the request refused at once.
     * @param resource $stream
     */
    public static function fromStream($stream, string $contentType, string $acceptLanguage, array $options = []): self
    {
        $options = self::options($options);
        $boundary = MultipartReader::boundary($contentType);
        if ($boundary === null) {
            throw new UploadError('not-multipart', 'the request is not multipart/form-data with a boundary');
        }
        $u = new self(self::isUtf8($acceptLanguage) ? 'UTF-8' : $options['ansiEncoding'], $options);
        $tmpDir = $options['tmpDir'] ?? (ini_get('upload_tmp_dir') ?: sys_get_temp_dir());
        $o = $options;
        $parts = 0;
        $fieldsBytes = 0;
        $filesBytes = 0;
        $part = null;  // [kind, name, bytes] for a text, [kind, row, handle, path, size] for a file
        $written = [];
        $emptyParts = [];
        $start = function (string $name, ?string $filename) use ($u, $o, $tmpDir, &$parts, &$part, &$written,
                                                                 &$emptyParts) {
            if (++$parts > $o['maxFields'] + $o['maxRows'] + 1) {
                throw new UploadError('too-many-parts', 'the request has more parts than its limits allow');
            }
            if ($filename === null) {
                if ($name === self::RESUMABLE) {
                    $part = ['resumable', $name, ''];
                    return;
                }
                $manifest = $name === self::MANIFEST;
                if ($manifest && $u->hasManifest) {
                    throw new UploadError('bad-manifest', 'the request holds two manifests');
                }
                if (!$manifest && count($u->fields) >= $o['maxFields']) {
                    throw new UploadError('too-many-parts', "the request has more than {$o['maxFields']} fields");
                }
                $u->hasManifest = $u->hasManifest || $manifest;
                $part = [$manifest ? 'manifest' : 'field', $name, ''];
                return;
            }
            $row = $u->byName[self::unescape($u->text($filename, 'a file name'))] ?? null;
            if ($row === null) {
                throw new UploadError('unlisted-file', 'a file part has no N or U row in the manifest');
            }
            if ($row->resumable !== null) {
                // Its bytes came by tus: the part is there so that a server
                // unaware of tus refuses the request, and must be empty.
                if (isset($emptyParts[spl_object_id($row)])) {
                    throw new UploadError('duplicate-file', 'two file parts have one name');
                }
                $emptyParts[spl_object_id($row)] = true;
                $part = ['empty', $row];
                return;
            }
            if ($row->file !== null) {
                throw new UploadError('duplicate-file', 'two file parts have one name');
            }
            $path = rtrim($tmpDir, '/\\') . DIRECTORY_SEPARATOR . 'zt-' . bin2hex(random_bytes(16)) . '.part';
            $handle = @fopen($path, 'xb');
            if ($handle === false) {
                throw new UploadError('store-failed', 'a temporary file could not be made');
            }
            $written[] = $path;
            $part = ['file', $row, $handle, $path, 0];
        };
        $data = function (string $bytes) use ($o, &$part, &$fieldsBytes, &$filesBytes) {
            if ($part[0] === 'empty') {
                throw new UploadError('size-mismatch', 'a file part carries bytes its upload brought');
            }
            if ($part[0] !== 'file') {
                $fieldsBytes += strlen($bytes);
                if (strlen($part[2]) + strlen($bytes) > $o['maxFieldBytes'] || $fieldsBytes > $o['maxFieldsBytes']) {
                    throw new UploadError('too-large', 'a field, or all fields together, exceed their limit');
                }
                $part[2] .= $bytes;
                return;
            }
            $part[4] += strlen($bytes);
            $filesBytes += strlen($bytes);
            if ($part[4] > $part[1]->size) {
                throw new UploadError('size-mismatch', 'a file part is longer than its row says');
            }
            if (($o['maxFileBytes'] !== null && $part[4] > $o['maxFileBytes'])
                || ($o['maxTotalBytes'] !== null && $filesBytes > $o['maxTotalBytes'])) {
                throw new UploadError('too-large', 'a file, or all files together, exceed their limit');
            }
            if (fwrite($part[2], $bytes) !== strlen($bytes)) {
                throw new UploadError('store-failed', 'a temporary file could not be written');
            }
        };
        $end = function () use ($u, $o, &$part, &$filesBytes) {
            [$kind] = $part;
            if ($kind === 'resumable') {
                $filesBytes += $u->readResumable($u->text($part[2], 'the list of uploads'));
                if ($o['maxTotalBytes'] !== null && $filesBytes > $o['maxTotalBytes']) {
                    throw new UploadError('too-large', 'the files together exceed their limit');
                }
            } elseif ($kind === 'empty') {
                // Nothing: the file is its upload's.
            } elseif ($kind === 'file') {
                fclose($part[2]);
                if ($part[4] !== $part[1]->size) {
                    throw new UploadError('size-mismatch', 'a file part is shorter than its row says');
                }
                $part[1]->file = new UploadedFile($part[3], $part[4]);
            } elseif ($kind === 'manifest') {
                $u->readManifest($u->text($part[2], 'the manifest'));
            } else {
                $name = $u->text($part[1], 'a field name');
                $u->fields[] = ['name' => self::unescape($name), 'value' => $u->text($part[2], 'a field value')];
            }
            $part = null;
        };
        try {
            (new MultipartReader($boundary))->read($stream, $start, $data, $end);
            if ($parts === 0) {
                throw new UploadError('incomplete', 'the request carries no part');
            }
        } catch (\Throwable $e) {
            if (($part[0] ?? '') === 'file') {
                fclose($part[2]);
            }
            foreach ($written as $path) {
                @unlink($path);
            }
            $u->restoreClaims();
            throw $e;
        }
        return $u;
    }

    /**
     * The same from arrays shaped like $_SERVER, $_POST and $_FILES, as PHP
     * parsed them. $uploaded: tmp_name must be a file PHP received in this
     * request.
     */
    public static function fromParts(array $server, array $post, array $files, array $options = [],
                                     bool $uploaded = false): self
    {
        $options = self::options($options);
        $type = (string)($server['CONTENT_TYPE'] ?? '');
        if (MultipartReader::boundary($type) === null) {
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
        $u = new self(self::isUtf8((string)($server['HTTP_ACCEPT_LANGUAGE'] ?? '')) ? 'UTF-8'
            : $options['ansiEncoding'], $options);
        $fields = self::flattenFields($post);
        // PHP stops at max_input_vars without a word; what it dropped may be the manifest.
        $inputVars = (int)ini_get('max_input_vars');
        if (count($fields) > $options['maxFields'] || ($inputVars > 0 && count($fields) >= $inputVars)) {
            throw new UploadError('too-many-parts', 'the request has more fields than this server reads');
        }
        $manifest = null;
        $resumable = null;
        foreach ($fields as [$name, $value]) {
            $name = $u->text($name, 'a field name');
            if ($name === self::MANIFEST) {
                $manifest = $value;
                continue;
            }
            if ($name === self::RESUMABLE) {
                if ($manifest === null) {
                    throw new UploadError('bad-manifest', 'the list of uploads comes before the manifest');
                }
                $resumable = $value;
                continue;
            }
            $u->fields[] = ['name' => self::unescape($name), 'value' => $u->text($value, 'a field value')];
        }
        if ($manifest !== null) {
            $u->hasManifest = true;
            $u->readManifest($u->text($manifest, 'the manifest'));
        }
        $keys = [];
        foreach ($u->byName as $name => $row) {
            $key = Names::phpKey($name);
            if ($key === null || isset($keys[$key])) {
                throw new UploadError('name-mangled', 'PHP renames or merges a file name of this request; '
                    . 'read the body with enable_post_data_reading off');
            }
            $keys[$key] = true;
        }
        try {
            if ($resumable !== null) {
                $total = $u->readResumable($u->text($resumable, 'the list of uploads'));
                if ($options['maxTotalBytes'] !== null && $total > $options['maxTotalBytes']) {
                    throw new UploadError('too-large', 'the files together exceed their limit');
                }
            }
            $u->attachFiles(self::flattenFiles($files), $uploaded);
        } catch (\Throwable $e) {
            $u->restoreClaims();
            throw $e;
        }
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
     * are removed again, the rest discarded, and UploadError is thrown.
     * @return array<int,string>
     */
    public function store(string $folder): array
    {
        $stored = [];
        $fail = function () use (&$stored) {
            foreach ($stored as $done) {
                @unlink($done);
            }
            $this->discard();
            throw new UploadError('store-failed', 'a file could not be moved into the folder for uploads');
        };
        if (!is_dir($folder) || !is_writable($folder)) {
            $fail();
        }
        foreach ($this->rows as $i => $row) {
            if ($row->file === null) {
                continue;
            }
            $path = rtrim($folder, '/\\') . DIRECTORY_SEPARATOR . bin2hex(random_bytes(16));
            $from = $row->file->path;
            $row->file->sha256();  // while the file is where it was received
            if (!(is_uploaded_file($from) ? @move_uploaded_file($from, $path) : @rename($from, $path))) {
                $fail();
            }
            $row->file->path = $path;
            $row->file->claim?->settle();
            $stored[$i] = $path;
        }
        return $stored;
    }

    /** Removes the received files not stored (PHP removes its own at the end of the request). */
    public function discard(): void
    {
        foreach ($this->rows as $row) {
            if ($row->file !== null && !is_uploaded_file($row->file->path) && str_ends_with($row->file->path, '.part')) {
                @unlink($row->file->path);
            }
            // An upload the request took is spent, whatever the page did with it.
            $row->file?->claim?->settle();
        }
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
            ] + ($r->risky ? ['risky' => true] : []);
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

    /** Whether an Accept-Language header marks a UTF-8 request (the control's UTF8 = 1). */
    public static function isUtf8(string $acceptLanguage): bool
    {
        return strtolower(trim($acceptLanguage)) === 'utf-8';
    }

    // ------------------------------------------------------------------

    /** The options with their defaults; a wrong one is the caller's error, said at once. */
    private static function options(array $options): array
    {
        if ($unknown = array_diff_key($options, self::DEFAULTS)) {
            throw new \InvalidArgumentException('unknown upload option ' . implode(', ', array_keys($unknown)));
        }
        $options += self::DEFAULTS;
        try {
            mb_check_encoding('', $options['ansiEncoding']);
        } catch (\ValueError) {
            throw new \InvalidArgumentException("ansiEncoding {$options['ansiEncoding']} is not an encoding mbstring knows");
        }
        return $options;
    }

    private function text(string $bytes, string $what): string
    {
        if (!mb_check_encoding($bytes, $this->encoding)) {
            throw new UploadError('bad-encoding', "$what is not valid {$this->encoding}");
        }
        return $this->encoding === 'UTF-8' ? $bytes : mb_convert_encoding($bytes, 'UTF-8', $this->encoding);
    }

    private function readManifest(string $text): void
    {
        if ($text === '') {
            return;
        }
        if (!str_ends_with($text, "\n")) {
            throw new UploadError('bad-manifest', 'the last row has no line end');
        }
        $lines = explode("\n", substr($text, 0, -1));
        if (count($lines) - 1 > $this->options['maxRows']) {
            throw new UploadError('too-many-parts', "the manifest has more than {$this->options['maxRows']} rows");
        }
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
                throw new UploadError('bad-manifest', sprintf('row %d has an unknown type', $n + 2));
            }
            if (!preg_match('/^-?[0-9]{1,16}$/', $f[2]) || abs((int)$f[2]) > self::MAX_SIZE) {
                throw new UploadError('bad-manifest', sprintf('row %d has no valid size', $n + 2));
            }
            $name = self::unescape($f[1]);
            Names::check($name);
            $risky = Names::risky($name);
            if ($risky && !$this->options['allowRiskyNames']) {
                throw new UploadError('risky-name', sprintf('row %d has a name risky to store or show', $n + 2));
            }
            if ($f[0] !== 'D') {
                // Entries of the list are unique ignoring case; deleted rows may repeat a name.
                $key = mb_strtoupper($name, 'UTF-8');
                if (isset($seen[$key])) {
                    throw new UploadError('duplicate-name', sprintf('row %d repeats the name of another entry', $n + 2));
                }
                $seen[$key] = true;
            }
            $row = new Row($f[0], $name, (int)$f[2], array_combine($this->attributes, array_slice($f, 3)) ?: [],
                null, $risky);
            $this->rows[] = $row;
            if ($row->carriesFile()) {
                $this->byName[$name] = $row;
            }
        }
    }

    /**
     * Each row names a file that came by tus: its upload is claimed from the
     * store by id alone and must be complete at the row's size. Returns the
     * bytes so taken.
     */
    private function readResumable(string $text): int
    {
        if ($this->resumableSeen || !$this->hasManifest) {
            throw new UploadError('bad-manifest', 'the list of uploads is repeated or comes before the manifest');
        }
        $this->resumableSeen = true;
        if ($text !== '' && !str_ends_with($text, "\n")) {
            throw new UploadError('bad-manifest', 'the list of uploads has a row without line end');
        }
        $named = [];
        foreach ($text === '' ? [] : explode("\n", substr($text, 0, -1)) as $line) {
            if (!preg_match('/^([^|\r]*)\|([^|\r]*)\|\r?$/D', $line, $m) || !TusStore::validId($m[2])) {
                throw new UploadError('bad-manifest', 'a row of the list of uploads is not <name>|<upload id>|');
            }
            $row = $this->byName[self::unescape($m[1])] ?? null;
            if ($row === null) {
                throw new UploadError('unlisted-file', 'an upload is named for no N or U row');
            }
            if ($row->resumable !== null || $row->file !== null || in_array($m[2], $named, true)) {
                throw new UploadError('duplicate-file', 'a row or an upload is named twice');
            }
            $row->resumable = $m[2];
            $named[] = $m[2];
        }
        $store = $this->options['resumable'];
        if ($named !== [] && !$store instanceof TusStore) {
            throw new UploadError('unknown-upload', 'this server takes no resumable uploads');
        }
        $total = 0;
        foreach ($this->rows as $row) {
            if ($row->resumable === null || $row->file !== null) {
                continue;
            }
            $claim = $store->claim($row->resumable);
            if ($claim === null) {
                throw new UploadError('unknown-upload', 'an upload named is not in the tus store');
            }
            $this->claims[] = $claim;
            if ($claim->length !== $row->size) {
                throw new UploadError('size-mismatch', 'an upload is not as long as its row says');
            }
            if ($claim->offset !== $claim->length) {
                throw new UploadError('incomplete', 'an upload named is not complete');
            }
            if ($this->options['maxFileBytes'] !== null && $claim->length > $this->options['maxFileBytes']) {
                throw new UploadError('too-large', 'a file exceeds its limit');
            }
            $row->file = new UploadedFile($claim->path, $claim->length, $claim);
            $total += $claim->length;
        }
        return $total;
    }

    /** Puts back the uploads of a refused request, so that a corrected one may name them again. */
    private function restoreClaims(): void
    {
        foreach ($this->claims as $claim) {
            $claim->restore();
        }
        $this->claims = [];
        foreach ($this->rows as $row) {
            if ($row->file?->claim !== null) {
                $row->file = null;
            }
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

    /** @param list<array{string,string,string,int,int}> $files [full_path, tmp_name, field, error, size] */
    private function attachFiles(array $files, bool $uploaded): void
    {
        $max = (int)ini_get('max_file_uploads');
        foreach ($files as [$fullPath, $tmp, , $error, $size]) {
            if ($error !== UPLOAD_ERR_OK) {
                $reason = match ($error) {
                    UPLOAD_ERR_PARTIAL => 'incomplete',
                    UPLOAD_ERR_INI_SIZE, UPLOAD_ERR_FORM_SIZE => 'too-large',
                    UPLOAD_ERR_NO_FILE => 'unlisted-file',  // a file part without a name
                    default => 'store-failed',              // no temporary folder, disk full
                };
                throw new UploadError($reason, "PHP did not receive a file part (upload error $error)");
            }
            if ($uploaded && !is_uploaded_file($tmp)) {
                throw new UploadError('unlisted-file', 'a file part was not received with this request');
            }
            $row = $this->byName[self::unescape($this->text($fullPath, 'a file name'))] ?? null;
            if ($row === null) {
                throw new UploadError('unlisted-file', 'a file part has no N or U row in the manifest');
            }
            if ($row->resumable !== null) {
                if ($size !== 0) {
                    throw new UploadError('size-mismatch', 'a file part carries bytes its upload brought');
                }
                continue;
            }
            if ($row->file !== null) {
                throw new UploadError('duplicate-file', 'two file parts have one name');
            }
            if ($size !== $row->size) {
                throw new UploadError('size-mismatch', 'a file part is not as long as its row says');
            }
            $row->file = new UploadedFile($tmp, $size);
        }
        if ($max > 0 && count($files) >= $max) {
            foreach ($this->rows as $r) {
                if ($r->carriesFile() && $r->file === null) {
                    throw new UploadError('too-many-parts', "the request has more files than max_file_uploads ($max)");
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
