<?php
declare(strict_types=1);

namespace ZTFileUpload;

/** An upload a request took out of its tus store: put back when the request
 *  is refused, forgotten for good when it is taken. */
final class ClaimedUpload
{
    public function __construct(
        public readonly string $path,
        private readonly string $home,
        public readonly int $length,
        public readonly int $offset,
    ) {
    }

    public function restore(): void
    {
        @rename($this->path, $this->home);
    }

    public function settle(): void
    {
        @unlink($this->path);
        @unlink($this->home . '.json');
    }
}
