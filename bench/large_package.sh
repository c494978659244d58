#!/bin/sh
# How a large package fares with the shipped settings: one round of
# bench/apktool-bench on a generated package of about SIZE MB alone.
#
# usage: bench/large_package.sh PROGRAM-FOLDER [SIZE-MB]   (build/program, 100)
set -eu

exec "$(dirname -- "$0")/apktool-bench" --rounds 1 --large "${2:-100}" --only-large "$1"
