#!/usr/bin/env python3
"""idstamp's check against the Python libraries a user would pick instead.

    python peers.py [--rounds N]

In one run: itsdangerous's TimestampSigner, PyJWT verifying an HS256 token,
and cryptography's Fernet verifying and decrypting. Each peer checks a token
it made itself before the loop. Every call is timed in turns, in rounds, and
given by its fastest round: a busy machine only adds time.
"""

import argparse
import sys
import time
import timeit

import idstamp
import itsdangerous
import jwt
from cryptography.fernet import Fernet

ID = b"user-20489113"
STAMP = 411196474
KEY = b"a key of thirty-two bytes, fixed"


def checks():
    token = idstamp.crypt_id(ID, STAMP)
    signer = itsdangerous.TimestampSigner(KEY)
    signed = signer.sign(ID)
    claims = {"sub": ID.decode(), "exp": int(time.time()) + 3600}
    encoded = jwt.encode(claims, KEY, algorithm="HS256")
    fernet = Fernet(Fernet.generate_key())
    ftoken = fernet.encrypt(ID)
    return token, [
        ("idstamp decrypt_id (now given)", 200_000,
         lambda: idstamp.decrypt_id(token, 30, STAMP) == ID),
        ("itsdangerous TimestampSigner.unsign", 10_000,
         lambda: signer.unsign(signed, max_age=1800) == ID),
        ("PyJWT decode (HS256)", 5_000,
         lambda: jwt.decode(encoded, KEY, algorithms=["HS256"])["sub"] == "user-20489113"),
        ("cryptography Fernet.decrypt", 5_000,
         lambda: fernet.decrypt(ftoken, ttl=1800) == ID),
    ]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=20)
    rounds = parser.parse_args().rounds
    token, rows = checks()
    for name, _, call in rows:
        if not call():
            sys.exit(f"peers: {name} refused its own token")
    best = [float("inf")] * len(rows)
    for _ in range(rounds):
        for i, (_, count, call) in enumerate(rows):
            best[i] = min(best[i], timeit.timeit(call, number=count) / count * 1e9)
    print(f"Python {sys.version.split()[0]}, {len(token)}-byte idstamp token, "
          f"fastest of {rounds} rounds")
    print(f"{'check':<40} {'ns/call':>10} {'ratio':>8}")
    for (name, _, _), ns in zip(rows, best):
        print(f"{name:<40} {ns:10.1f} {ns / best[0]:7.1f}x")


if __name__ == "__main__":
    main()
