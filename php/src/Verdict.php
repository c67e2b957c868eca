<?php

declare(strict_types=1);

namespace Idstamp;

/**
 * What a checker makes of a token. Only a fresh token gives its id back.
 * The values are the names idstamp-inspect prints.
 */
enum Verdict: string
{
    case Fresh = 'fresh';
    case Expired = 'expired';
    case Ahead = 'ahead';
    case Malformed = 'malformed';
}
