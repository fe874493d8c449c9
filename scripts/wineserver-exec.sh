#!/bin/sh
# wineserver without the test scripts' lock descriptors (8 and 9): a
# persistent server started here would otherwise hold a scenario's lock
# long after the scenario (see wine-exec.sh).
exec 8>&- 9>&-
exec /usr/lib/wine/wineserver "$@"
