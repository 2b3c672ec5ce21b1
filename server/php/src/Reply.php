<?php
declare(strict_types=1);

namespace ZTFileUpload;

/**
 * Answers the control: a short plain text in the encoding of its request (it
 * reads the reply so and ignores the charset), never sniffed as markup.
 */
final class Reply
{
    public static function send(int $status, string $text, string $ansi = 'CP949'): void
    {
        $utf8 = Upload::isUtf8($_SERVER['HTTP_ACCEPT_LANGUAGE'] ?? '');
        http_response_code($status);
        header('Content-Type: text/plain; charset=' . ($utf8 ? 'utf-8' : strtolower($ansi)));
        header('X-Content-Type-Options: nosniff');
        echo $utf8 ? $text : mb_convert_encoding($text, $ansi, 'UTF-8');
    }

    /** The refusal's status and its reason code alone: nothing the sender wrote comes back. */
    public static function error(UploadError $e, string $ansi = 'CP949'): void
    {
        self::send($e->status, $e->reason, $ansi);
    }
}
