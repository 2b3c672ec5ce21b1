<?php
declare(strict_types=1);

namespace ZTFileUpload;

/**
 * A request that does not add up; nothing of it has been stored. $reason is a
 * stable code and $status the HTTP status to answer with. The message is for
 * logs: answer with Reply::error(), which never repeats request text.
 */
final class UploadError extends \RuntimeException
{
    /** Every reason and its status: 400 the request is wrong, 413 too large, 500 this server failed. */
    public const STATUS = [
        'not-multipart' => 400, 'too-large' => 413, 'too-many-parts' => 413, 'incomplete' => 400,
        'bad-encoding' => 400, 'bad-manifest' => 400, 'bad-name' => 400, 'risky-name' => 400,
        'duplicate-name' => 400, 'unlisted-file' => 400, 'duplicate-file' => 400, 'size-mismatch' => 400,
        'unknown-upload' => 400, 'name-mangled' => 500, 'store-failed' => 500,
    ];

    public readonly string $reason;
    public readonly int $status;

    public function __construct(string $reason, string $message)
    {
        if (!isset(self::STATUS[$reason])) {
            throw new \LogicException("unknown reason $reason");
        }
        parent::__construct($reason . ': ' . $message);
        $this->reason = $reason;
        $this->status = self::STATUS[$reason];
    }
}
