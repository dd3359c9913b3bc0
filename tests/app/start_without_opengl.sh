#!/bin/sh
# The program started on a platform that has no OpenGL at all: it must say so and stop with exit code 1,
# not crash in the toolkit's GL widget. Arguments: the program and what it is started with.
out=$(QT_QPA_PLATFORM=minimal "$@" 2>&1)
rc=$?
printf '%s\n' "$out"
if [ "$rc" -ne 1 ]; then
    echo "exit code $rc, expected 1"
    exit 1
fi
if ! printf '%s\n' "$out" | grep -q 'Не удалось создать контекст OpenGL'; then
    echo "the program did not say why it stopped"
    exit 1
fi
