#!/bin/sh
# Installs into a temporary prefix and runs the installed programs.
#   install_test.sh BUILD_DIR SOURCE_DIR
set -eu
build=$1
source=$2
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for program in pagesim tracegen tracecheck pagediff pagestat traceconv pageview; do
  test -x "$prefix/bin/$program" || { echo "missing bin/$program" >&2; exit 1; }
  test -s "$prefix/share/man/man1/$program.1" || { echo "missing man1/$program.1" >&2; exit 1; }
done

# The installed pagesim on the example gives what the built one gives.
mkdir "$prefix/installed" "$prefix/built"
cp "$source/examples/data.txt" "$prefix/installed/"
cp "$source/examples/data.txt" "$prefix/built/"
(cd "$prefix/installed" && "$prefix/bin/pagesim" 1 > stdout 2> stderr)
(cd "$prefix/built" && "$build/pagesim" 1 > stdout 2> stderr)
for file in stdout stderr out.txt; do
  cmp "$prefix/installed/$file" "$prefix/built/$file"
done
grep -q '^40 steps were executed$' "$prefix/installed/stdout"
(cd "$prefix/installed" && "$prefix/bin/tracecheck" > /dev/null)
# The installed pagediff finds pagesim's own log identical to its run.
(cd "$prefix/installed" && "$prefix/bin/pagediff" -m 1 out.txt stdout > /dev/null)
(cd "$prefix/installed" && "$prefix/bin/pagestat" > /dev/null 2>&1)
(cd "$prefix/installed" && "$prefix/bin/pageview" -m 1 -o page.html && grep -q '"first":1,' page.html)
test "$(printf '1 2 3\n' | "$prefix/bin/traceconv" pages /dev/stdin)" = "1 1025 1025
1 2049 2049
1 3073 3073"
test "$("$prefix/bin/tracegen" mixed 1000 7 | cksum)" = "$("$build/tracegen" mixed 1000 7 | cksum)"
echo "installed programs work"
