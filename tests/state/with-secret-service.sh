#!/bin/sh
# Runs a test inside a session bus of its own with an unlocked keyring in a
# temporary home, so that it never meets the user's own keychain.
set -eu
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
HOME=$home
XDG_DATA_HOME=$home/.local/share
XDG_CONFIG_HOME=$home/.config
XDG_CACHE_HOME=$home/.cache
XDG_RUNTIME_DIR=$home/run
export HOME XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
status=0
dbus-run-session -- sh -c 'printf %s tarnvik | gnome-keyring-daemon --unlock --components=secrets >/dev/null && exec "$@"' sh "$@" || status=$?
exit "$status"
