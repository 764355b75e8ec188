#!/usr/bin/env bash
# Fails when a library's source includes a header of a library it does not
# link, directly or through its dependencies (a lower layer reaching a higher
# one, or data and serial reaching each other), or a header of a Qt module it
# does not link (only platform/ui, the gateway window and the desk link Qt
# Widgets). The layers are read from the sms_library() call in each folder's
# CMakeLists.txt, so the rule is the build's own. tools/ and tests/ may
# include anything.
set -euo pipefail
cd "$(dirname "$0")/../.."

# "folder target deps..." for every library.
libraries=$(git ls-files '*CMakeLists.txt' | grep -v '^\(tests\|tools\)/' | while read -r f; do
  awk -v dir="$(dirname "$f")" '
    { sub(/#.*/, ""); text = text " " $0 }
    END {
      while (match(text, /sms_library\([^)]*\)/)) {
        call = substr(text, RSTART + 12, RLENGTH - 13)
        text = substr(text, RSTART + RLENGTH)
        gsub(/[ \t]+/, " ", call); sub(/^ /, "", call); sub(/ $/, "", call)
        print dir, call
      }
    }' "$f"
done)

# "QClass QtModule" for every public Qt class header.
qt_headers=$(qtpaths6 --query QT_INSTALL_HEADERS 2>/dev/null || echo /usr/include/x86_64-linux-gnu/qt6)
qt_classes=$(for d in "$qt_headers"/Qt*/; do
  m=$(basename "$d")
  find "$d" -maxdepth 1 -name 'Q*' ! -name '*.*' -printf "%f $m\n"
done)
[ -n "$qt_classes" ] || { echo "no Qt headers under $qt_headers"; exit 2; }

files=$(git ls-files '*.cpp' '*.h')
# "file:line:directive" for every include.
includes=$(grep -Hn '^[[:space:]]*#[[:space:]]*include' $files || true)

awk -v libraries="$libraries" -v qt_classes="$qt_classes" -v files="$files" '
  # The library folder holding path (the deepest one), or "".
  function owner(path,    dir) {
    dir = path
    while (sub(/\/[^\/]*$/, "", dir))
      if (dir in target)
        return dir
    return ""
  }
  # Marks every library and Qt module that t links, through its dependencies.
  function reach(t, into,    i, n, d) {
    n = split(deps[t], d, " ")
    for (i = 1; i <= n; i++) {
      if (d[i] ~ /^Qt6::/) {
        into["Qt" substr(d[i], 6)] = 1
        into["QtCore"] = 1 # every Qt module needs Core; Widgets needs Gui
        if (d[i] == "Qt6::Widgets")
          into["QtGui"] = 1
      } else if (d[i] in deps && !(d[i] in into)) {
        into[d[i]] = 1
        reach(d[i], into)
      }
    }
  }
  function linked(t, what) {
    if (!(t in done)) {
      delete links
      reach(t, links)
      list[t] = ""
      for (k in links)
        list[t] = list[t] " " k
      done[t] = 1
    }
    return t == what || index(list[t] " ", " " what " ") > 0
  }
  function fail(message) {
    print message
    failures++
  }
  BEGIN {
    n = split(libraries, lines, "\n")
    for (i = 1; i <= n; i++) {
      split(lines[i], f, " ")
      target[f[1]] = f[2]
      deps[f[2]] = substr(lines[i], length(f[1]) + length(f[2]) + 3)
    }
    n = split(qt_classes, lines, "\n")
    for (i = 1; i <= n; i++) {
      split(lines[i], f, " ")
      module[f[1]] = f[2]
    }
    n = split(files, lines, "\n")
    for (i = 1; i <= n; i++)
      tracked[lines[i]] = 1
  }
  {
    # file:line:#include "path" or <path>
    file = $0; sub(/:.*/, "", file)
    at = substr($0, length(file) + 2); sub(/:.*/, "", at)
    lib = owner(file)
    if (lib == "" || file ~ /^(tests|tools)\//)
      next
    t = target[lib]
    seen++
    if (match($0, /"[^"]+"/)) {
      path = substr($0, RSTART + 1, RLENGTH - 2)
      if (!(path in tracked))
        next # generated (moc) or not ours
      other = owner(path)
      if (other == "")
        fail(file ":" at ": " t " includes \"" path "\", which belongs to no library")
      else if (!linked(t, target[other]))
        fail(file ":" at ": " t " includes \"" path "\" of " target[other] ", which it does not link")
    } else if (match($0, /<Q[^>]*>/)) {
      name = substr($0, RSTART + 1, RLENGTH - 2)
      m = name
      if (name in module)
        m = module[name]
      else if (!sub(/\/.*/, "", m))
        next # not a Qt header
      if (!linked(t, m))
        fail(file ":" at ": " t " includes <" name "> of " m ", which it does not link")
    }
  }
  END {
    if (failures) {
      print failures " include(s) against the layering; the links are in each folder'"'"'s CMakeLists.txt"
      exit 1
    }
    print "layering kept: " seen " includes in " length(target) " libraries"
  }' <<<"$includes"
