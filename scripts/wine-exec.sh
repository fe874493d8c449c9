#!/bin/sh
# Starts a Wine program without the test scripts' lock descriptors (8 and
# 9): Wine's server and services outlive the program that started them, and
# a lock they inherited would stay held after the scenario had ended, so
# that every later run waited on it for ever.
exec 8>&- 9>&-
exec "$WINE_LOADER" "$@"
