#!/bin/sh
# Lays out the portable program directory: quennet, wab, wab-sync, skin/,
# Help.html and, when none is there yet, an empty contact store made with
# `wab init`.
# An existing wab.vdb is never touched.
set -eu
cd "$(dirname "$0")/.."
DEST=${1:-program}
mkdir -p "$DEST/skin"
cp build/program/quennet build/program/wab build/program/wab-sync "$DEST/"
cp build/program/skin/* "$DEST/skin/"
cp build/program/Help.html "$DEST/Help.html"
if [ ! -e "$DEST/wab.vdb" ]; then
    "$DEST/wab" init --password-stdin "$DEST/wab.vdb" </dev/null
fi
