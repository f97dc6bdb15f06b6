#!/bin/sh
# wine-path.sh DIRS COMMAND [ARGS...]: runs COMMAND with WINEPATH naming the
# colon-separated Unix folders DIRS, so that the Windows programs it starts under
# Wine find the DLLs there (CMake lists cannot carry WINEPATH's semicolons).
set -eu
dirs=$1
shift
path=
IFS=:
for d in $dirs; do
    path="${path:+$path;}Z:$d"
done
unset IFS
WINEPATH="$path${WINEPATH:+;$WINEPATH}" exec "$@"
