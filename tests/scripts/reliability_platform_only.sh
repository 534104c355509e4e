#!/bin/sh
# Outside src/platform/ the program reaches threads, locks, sleeping and files only through
# system.h, so the audio contract test's count of the platform's calls in the callback is
# the whole story. Only format.cpp may include stdio.h, for standard output.
set -u
source=$2
fail=0
files=$(find "$source/src" -name '*.cpp' -o -name '*.h' | grep -v "^$source/src/platform/")
headers='pthread\.h|threads\.h|semaphore\.h|unistd\.h|fcntl\.h|sys/[a-z_]+\.h|dirent\.h|time\.h|mutex|thread|shared_mutex|condition_variable|future|fstream|filesystem|chrono|sndfile\.h|SDL'
for file in $files; do
    found=$(grep -nE "^#include <($headers)>" "$file")
    if [ -n "$found" ]; then echo "FAIL: $file includes a system interface: $found"; fail=1; fi
    case "$file" in
    */src/base/format.cpp) ;;
    *) if grep -qE '^#include <stdio\.h>' "$file"; then echo "FAIL: $file includes stdio.h"; fail=1; fi ;;
    esac
    calls=$(grep -nE '\b(fopen|fread|fclose|open|pthread_[a-z_]+|usleep|nanosleep|sleep|mtx_lock)\(' "$file")
    if [ -n "$calls" ]; then echo "FAIL: $file calls the system directly: $calls"; fail=1; fi
done
[ -n "$files" ] || { echo "FAIL: no sources under $source/src"; fail=1; }
[ $fail -eq 0 ] && echo "ok: $(echo "$files" | wc -l) sources use the platform only"
exit $fail
