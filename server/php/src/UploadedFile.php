<?php
declare(strict_types=1);

namespace ZTFileUpload;

/** An uploaded file part: in a temporary folder, then where store() put it. */
final class UploadedFile
{
    private ?string $digest = null;

    public function __construct(
        public string $path,
        public readonly int $size,
        /** The tus upload it was taken from, until stored or discarded. */
        public readonly ?ClaimedUpload $claim = null,
    ) {
    }

    public function sha256(): string
    {
        return $this->digest ??= (string)hash_file('sha256', $this->path);
    }
}
