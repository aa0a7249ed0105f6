#!/bin/sh
# Packs an install tree into one self-extracting installer: the installer header, a marker
# line, then the tree as a gzip-compressed tar archive.
#   makeinstaller.sh <install tree> <header> <program to start> <output file>
set -eu
if [ $# -ne 4 ]; then
    echo "usage: makeinstaller.sh <install tree> <header> <program to start> <output file>" >&2
    exit 2
fi
tree=$1
header=$2
program=$3
output=$4
[ -d "$tree" ] || { echo "makeinstaller: no install tree at $tree" >&2; exit 1; }
case $program in
*[!A-Za-z0-9._-]* | '') echo "makeinstaller: unusable program name '$program'" >&2; exit 1 ;;
esac

partial=$output.partial
sed "s/@FENWIX_START_PROGRAM@/$program/" "$header" >"$partial"
printf '__FENWIX_PAYLOAD__\n' >>"$partial"
(cd "$tree" && tar -czf - --owner=0 --group=0 --numeric-owner .) >>"$partial"
chmod 755 "$partial"
mv -f "$partial" "$output"
echo "makeinstaller: wrote $output"
