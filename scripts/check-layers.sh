#!/usr/bin/env bash
# Checks that every #include in src/ points down the layers, never up:
#   core → storage → db → data → export → lists → session → (register | repairs | admin) → app
# A folder includes from itself and the folders before it; the three window folders do not
# include each other. Above storage only db and data include it: the rest reaches the database
# through them. Prints each wrong include and fails when there is one.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root/src"

declare -A rank=([core]=0 [storage]=1 [db]=2 [data]=3 [export]=4 [lists]=5 [session]=6
                [register]=7 [repairs]=7 [admin]=7 [app]=8)

bad=0
while IFS=: read -r file target; do
    from="${file%%/*}"
    to="${target%%/*}"
    [[ "$target" == */* ]] || continue     # a header beside the file, or a generated one
    rf="${rank[$from]:--1}"
    rt="${rank[$to]:--1}"
    if ((rf < 0)); then
        echo "$file: folder '$from' has no place in the layers"; bad=1; continue
    fi
    if ((rt < 0)); then
        echo "$file: includes \"$target\" from unknown folder '$to'"; bad=1; continue
    fi
    if ((rt > rf)) || { ((rt == rf)) && [[ "$from" != "$to" ]]; }; then
        echo "$file: includes \"$target\": '$from' may not include '$to'"; bad=1
    elif [[ "$to" == storage && "$from" != @(storage|db|data) ]]; then
        echo "$file: includes \"$target\": only db and data reach the database's backends"; bad=1
    fi
done < <(grep -rE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' --include='*.h' --include='*.cpp' . |
         sed -E 's#^\./##; s#^([^:]*):[[:space:]]*\#[[:space:]]*include[[:space:]]*"([^"]*)".*#\1:\2#')

if ((bad)); then
    echo "check-layers: includes against the layer order (see the Layout in the design notes)"
    exit 1
fi
echo "check-layers: every include points down the layers"
