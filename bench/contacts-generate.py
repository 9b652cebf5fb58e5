#!/usr/bin/env python3
"""Writes a generated address book for bench/run-contacts: COUNT vCards, one
file per card in FOLDER and all of them in SINGLE, every tenth card with an
inline picture of PHOTO_KB kilobytes. Versions 2.1, 3.0 and 4.0 alternate."""
import base64
import os
import random
import sys


def folded(text, prefix_len):
    first = 75 - prefix_len
    lines = [text[:first]] + [text[i:i + 74] for i in range(first, len(text), 74)]
    return "\r\n ".join(lines)


def card(index, picture):
    version = ("2.1", "3.0", "4.0")[index % 3]
    lines = ["BEGIN:VCARD", "VERSION:" + version, "UID:bench-%05d" % index,
             "FN:Person %05d Example" % index, "N:Example;Person %05d;;;" % index,
             "TEL;TYPE=cell:+1 555 %07d" % index, "TEL;TYPE=work:+1 555 %07d" % (index + 1),
             "EMAIL:person%05d@example.org" % index,
             "ADR;TYPE=home:;;%d Main Street;Springfield;;12345;USA" % index,
             "NOTE:Generated contact number %d for the benchmark." % index]
    if picture:
        if version == "2.1":
            head = "PHOTO;ENCODING=BASE64;TYPE=JPEG:"
        elif version == "3.0":
            head = "PHOTO;ENCODING=b;TYPE=JPEG:"
        else:
            head = "PHOTO:data:image/jpeg;base64,"
        lines.append(head + folded(picture, len(head)))
    lines.append("END:VCARD")
    return "\r\n".join(lines) + "\r\n"


def main():
    folder, single, count, photo_kb = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
    random.seed(7)
    picture = base64.b64encode(random.randbytes(photo_kb * 1024)).decode()
    os.makedirs(folder, exist_ok=True)
    with open(single, "w", newline="") as everything:
        for index in range(count):
            text = card(index, picture if index % 10 == 0 else None)
            with open(os.path.join(folder, "%05d.vcf" % index), "w", newline="") as one:
                one.write(text)
            everything.write(text)


main()
