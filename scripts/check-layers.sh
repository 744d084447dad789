#!/usr/bin/env bash
# Checks that every #include in src/ points down the layers, never up:
#   core → storage → db → data → export → lists → session → (register | repairs | admin) → app
# A folder includes from itself and the folders before it; the three window folders do not
# include each other. Prints each wrong include and fails when there is one.
set -euo pipefail
root="${1:-$(cd "$(dirname "$0")/.." && pwd)}"
cd "$root/src"

rank() {
    case "$1" in
        core) echo 0 ;; storage) echo 1 ;; db) echo 2 ;; data) echo 3 ;; export) echo 4 ;;
        lists) echo 5 ;; session) echo 6 ;; register | repairs | admin) echo 7 ;; app) echo 8 ;;
        *) echo -1 ;;
    esac
}

bad=0
while IFS= read -r line; do
    file="${line%%:*}"
    rest="${line#*:}"
    rest="${rest#*:}"
    target="$(sed -E 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*)".*/\1/' <<<"$rest")"
    from="${file%%/*}"
    to="${target%%/*}"
    [[ "$target" == */* ]] || continue     # a header beside the file, or a generated one
    rf="$(rank "$from")"
    rt="$(rank "$to")"
    if ((rf < 0)); then
        echo "$file: folder '$from' has no place in the layers"; bad=1; continue
    fi
    if ((rt < 0)); then
        echo "$file: includes \"$target\" from unknown folder '$to'"; bad=1; continue
    fi
    if ((rt > rf)) || { ((rt == rf)) && [[ "$from" != "$to" ]]; }; then
        echo "$file: includes \"$target\": '$from' may not include '$to'"; bad=1
    fi
done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' --include='*.h' --include='*.cpp' . | sed 's#^\./##')

if ((bad)); then
    echo "check-layers: includes against the layer order (see the Layout in the design notes)"
    exit 1
fi
echo "check-layers: every include points down the layers"
