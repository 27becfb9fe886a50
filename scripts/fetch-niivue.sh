#!/usr/bin/env bash
# Fetches the browser viewer niivue from the npm registry into a build tree: the published
# package at the pinned version, checked against its pinned integrity as npm's lock files
# check it, unpacked to DIR/package. The interactive page carries its single-file build, so
# the page itself never reaches the network.
#   scripts/fetch-niivue.sh VERSION INTEGRITY DIR
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 VERSION INTEGRITY DIR" >&2; exit 2; }
version=$1 integrity=$2 dir=$3
if ! command -v npm >/dev/null || ! command -v node >/dev/null; then
    echo "fetch-niivue: node and npm are missing; scripts/install-deps.sh installs them" >&2
    exit 1
fi
mkdir -p "$dir"
work=$(mktemp -d "$dir/.fetch-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
# A package already in npm's cache is taken from there without asking the registry.
npm pack --prefer-offline --silent "@niivue/niivue@$version" >/dev/null
tarball="niivue-niivue-$version.tgz"
actual=$(node -e 'const c = require("crypto"), fs = require("fs");
    process.stdout.write("sha512-" + c.createHash("sha512").update(fs.readFileSync(process.argv[1])).digest("base64"));' "$tarball")
if [ "$actual" != "$integrity" ]; then
    echo "fetch-niivue: $tarball has integrity $actual, not the pinned $integrity" >&2
    exit 1
fi
tar -xzf "$tarball" package/package.json package/dist/niivue.umd.js
rm -rf "$dir/package"
mv package "$dir/package"
echo "fetch-niivue: niivue $version in $dir/package"
