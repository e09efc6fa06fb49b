#!/usr/bin/env bash
# The framework's units and which of them each includes, from the
# `#include "framework/..."` lines. A header and its source file are one
# unit; a source file without a header of its own belongs to the unit of the
# header it includes first (whose declarations it defines). Prints the graph,
# one unit a line with what it includes, and exits 1 when units include each
# other in a circle: a unit that must reach one above it takes an interface or
# a callback from it instead, so that each can be read and tested from the
# bottom up.
#
#   unit_graph.sh FRAMEWORK_DIR
set -eu
dir=${1%/}
top=$(dirname "$dir")

unit_of() {  # FILE (relative to the folder above framework/)
  local file=$1 stem=${1%.*}
  if [[ $file == *.cpp && ! -e $top/$stem.h ]]; then
    local first
    first=$(sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\(framework/[^"]*\)".*|\1|p' \
      "$top/$file" | head -n1)
    [ -n "$first" ] && stem=${first%.*}
  fi
  echo "${stem#framework/}"
}

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
while IFS= read -r file; do
  rel=${file#"$top"/}
  from=$(unit_of "$rel")
  echo "$from $from" >>"$edges"  # a unit that includes nothing is still one
  sed -n 's|^[[:space:]]*#[[:space:]]*include[[:space:]]*"\(framework/[^"]*\)".*|\1|p' "$file" |
    while IFS= read -r included; do
      to=$(unit_of "$included")
      if [ "$to" != "$from" ]; then echo "$from $to"; fi
    done >>"$edges"
done < <(find "$dir" -name '*.h' -o -name '*.cpp' | sort)

sort -u "$edges" | awk '
  { if (!($1 in deps)) deps[$1] = ""; if ($1 != $2) deps[$1] = deps[$1] " " $2 }
  END { for (u in deps) print u " ->" (deps[u] == "" ? " (nothing)" : deps[u]) }' | sort

# tsort names the units of a circle, if there is one.
if ! loops=$(sort -u "$edges" | tsort 2>&1 >/dev/null); then
  echo "the framework's units include each other in a circle:"
  echo "$loops" | sed -n 's/^tsort: //p' | grep -v 'input contains a loop' | sort -u | tr '\n' ' '
  echo
  exit 1
fi
echo "no circle between the framework's units"
