<?php
// For pages without Composer: require this file and the kit's classes load
// when first used. With Composer, require the package instead (PSR-4).
declare(strict_types=1);

spl_autoload_register(static function (string $class): void {
    $prefix = 'ZTFileUpload\\';
    if (str_starts_with($class, $prefix) && is_file($file = __DIR__ . '/src/' . substr($class, strlen($prefix)) . '.php')) {
        require $file;
    }
});
