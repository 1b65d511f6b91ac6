#!/usr/bin/env bash
# Prints the code points of the Windows-1252 bytes 0x80 to 0x9F as the table
# kWindows1252 in util/text_codec.cpp, from the C library's CP1252 converter
# (glibc iconv, which follows the Unicode Consortium's mapping table
# https://www.unicode.org/Public/MAPPINGS/VENDORS/MICSFT/WINDOWS/CP1252.TXT).
# The five bytes that table leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
# stand for the C1 control of their own value, as index-windows-1252 of the
# WHATWG Encoding Standard (https://encoding.spec.whatwg.org/) maps them.
# Bytes 0xA0 to 0xFF are the code points of their value and need no table.
#   make-cp1252-table.sh
set -euo pipefail
line="   "
for b in $(seq 128 159); do
  hex="$(printf '%02X' "$b")"
  if cp="$(printf "\\x$hex" | iconv -f CP1252 -t UTF-32BE 2>/dev/null | od -An -tx1 | tr -d ' \n')" &&
     [ -n "$cp" ]; then
    cp="$(printf '%04X' "$((16#$cp))")"
  else
    cp="00$hex"
  fi
  line+=" 0x$cp,"
  if [ $(((b - 127) % 8)) -eq 0 ]; then
    echo "$line"
    line="   "
  fi
done
