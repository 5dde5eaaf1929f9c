# What the end-to-end scripts share. Sourced with the build folder and the source folder as $1 and $2;
# each script runs in a fresh temporary folder that is removed when it ends.
set -u
build=$(cd "$1" && pwd)
source_folder=$(cd "$2" && pwd)
mkdb="$build/dialdex-mkdb"
find="$build/dialdex-find"
dialdex="$build/dialdex"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# expect_error CODE TEXT -- command...: the command fails with that exit code and names TEXT on stderr.
# Its output is left in out.txt and err.txt.
expect_error() {
    local code=$1 text=$2
    shift 3
    "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" -eq "$code" ] || fail "$* exited $got, expected $code"
    grep -qF -- "$text" err.txt || fail "$* said '$(cat err.txt)', expected '$text'"
}

# expect_code CODE -- command...: the command ends with that exit code; output in out.txt and err.txt.
expect_code() {
    local code=$1
    shift 2
    "$@" >out.txt 2>err.txt
    local got=$?
    [ "$got" -eq "$code" ] || fail "$* exited $got, expected $code: $(cat err.txt)"
}

# finish NAME: the script's verdict and exit code.
finish() {
    if [ "$failures" -ne 0 ]; then
        echo "$1: $failures failures" >&2
        exit 1
    fi
    echo "$1: all passed"
}
