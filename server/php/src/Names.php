<?php
declare(strict_types=1);

namespace ZTFileUpload;

/** What a name of the list may be. */
final class Names
{
    // Bidirectional controls, the line and paragraph separators and C1 controls
    // make a name show as something else; the rest make Windows store it elsewhere.
    private const RISKY_CHARS = '/[\x{0080}-\x{009F}\x{061C}\x{200E}\x{200F}\x{202A}-\x{202E}\x{2066}-\x{2069}\x{2028}\x{2029}:]/u';
    private const DEVICES = '/^(CON|PRN|AUX|NUL|COM[1-9¹²³]|LPT[1-9¹²³]|CONIN\$|CONOUT\$)$/iu';

    /** Throws bad-name for a name that is not one file name. */
    public static function check(string $name): void
    {
        if ($name === '' || $name === '.' || $name === '..' || strpbrk($name, "/\\") !== false
            || preg_match('/[\x00-\x1f\x7f]/', $name)) {
            throw new UploadError('bad-name', 'a name is empty, a path or holds control characters');
        }
    }

    /** Whether a (valid UTF-8) name is risky to store or show. */
    public static function risky(string $name): bool
    {
        $stem = rtrim(explode('.', $name, 2)[0], ' ');
        return preg_match(self::RISKY_CHARS, $name) === 1 || preg_match(self::DEVICES, $stem) === 1
            || str_ends_with($name, '.') || str_ends_with($name, ' ');
    }

    /**
     * The key PHP files a part under in $_POST and $_FILES, or null when PHP
     * would nest it (brackets) and so cut or drop it.
     */
    public static function phpKey(string $name): ?string
    {
        if (strpbrk($name, '[]') !== false) {
            return null;
        }
        return strtr(ltrim($name, ' '), ' .', '__');
    }
}
