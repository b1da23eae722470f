#!/usr/bin/env bash
# Runs a Windows Script File's job under Wine's cscript, which finds no script engine for
# ".wsf": its <script> elements (src="..." files and CDATA blocks on lines of their own) are
# joined in their order into one JScript file, run with the arguments given.
#
#   scripts/run-wsf.sh <file.wsf> [arguments...]
set -euo pipefail
wsf="$1"; shift
dir="$(cd "$(dirname "$wsf")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
in_cdata=0
while IFS= read -r line || [ -n "$line" ]; do
    line="${line%$'\r'}"
    if [ "$in_cdata" = 1 ]; then
        if [[ "$line" == *']]>'* ]]; then in_cdata=0; else printf '%s\r\n' "$line"; fi
    elif [[ "$line" =~ \<script[^\>]*src=\"([^\"]+)\" ]]; then
        sed 's/\r*$/\r/' "$dir/${BASH_REMATCH[1]}"
    elif [[ "$line" == *'<![CDATA['* ]]; then
        in_cdata=1
    fi
done <"$wsf" >"$work/job.js"
wine cscript //nologo "$(winepath -w "$work/job.js")" "$@"
