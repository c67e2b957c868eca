<?php

declare(strict_types=1);

// Loads the Idstamp\ classes from src/ where Composer's autoloader is not in use.
spl_autoload_register(static function (string $class): void {
    if (str_starts_with($class, 'Idstamp\\')) {
        $file = __DIR__ . '/src/' . str_replace('\\', '/', substr($class, 8)) . '.php';
        if (is_file($file)) {
            require $file;
        }
    }
});
