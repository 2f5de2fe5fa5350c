#!/bin/sh
# Runs a test inside a session bus of its own with a keyring in a temporary
# home, so that it never meets the user's own keychain. The keyring is
# unlocked, or with --locked left without one, so that a write asks for a
# password in a prompt that nobody answers.
set -eu
unlock=yes
if [ "${1:-}" = --locked ]; then
  unlock=no
  shift
fi
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
mkdir -m 700 "$home/run"
HOME=$home
XDG_DATA_HOME=$home/.local/share
XDG_CONFIG_HOME=$home/.config
XDG_CACHE_HOME=$home/.cache
XDG_RUNTIME_DIR=$home/run
export HOME XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME XDG_RUNTIME_DIR
if [ "$unlock" = yes ]; then
  start='printf %s tarnvik | gnome-keyring-daemon --unlock --components=secrets >/dev/null'
else
  start='gnome-keyring-daemon --start --components=secrets >/dev/null'
fi
status=0
dbus-run-session -- sh -c "$start"' && exec "$@"' sh "$@" || status=$?
exit "$status"
