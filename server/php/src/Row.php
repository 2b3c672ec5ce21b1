<?php
declare(strict_types=1);

namespace ZTFileUpload;

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
        /** The name is risky to store or show; only when the server chose to take such names. */
        public readonly bool $risky = false,
        /** The id of the tus upload that brought its file, when one did. */
        public ?string $resumable = null,
    ) {
    }

    /** N and U rows may carry a file; N rows whose file the client could not
     *  read arrive without one. */
    public function carriesFile(): bool
    {
        return $this->type === 'N' || $this->type === 'U';
    }
}
