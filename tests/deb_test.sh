#!/usr/bin/env bash
# Installs the Debian package into this machine, runs velvarin from the PATH
# through a scripted session in a temporary directory, and removes the
# package again. Needs root. Usage: tests/deb_test.sh velvarin_VERSION_ARCH.deb
set -euo pipefail
deb=$(realpath "$1")
if dpkg-query -W velvarin >/dev/null 2>&1; then
  echo "velvarin is installed already; not touching it" >&2
  exit 1
fi
dpkg -i "$deb"
dir=$(mktemp -d)
trap 'dpkg -r velvarin >/dev/null; rm -rf "$dir"' EXIT
cd "$dir"

[ "$(command -v velvarin)" = /usr/bin/velvarin ]
[ "$(command -v velvarin-admin)" = /usr/bin/velvarin-admin ]
[ -f /usr/share/man/man1/velvarin.1.gz ]
[ -f /usr/share/man/man1/velvarin-admin.1.gz ]
[ -f /usr/share/bash-completion/completions/velvarin-admin ]
[ -f /usr/share/doc/velvarin/copyright ]
man -w velvarin-admin >/dev/null
# The completion offers the commands and amend's fields.
bash -c 'source /usr/share/bash-completion/bash_completion
         source /usr/share/bash-completion/completions/velvarin-admin
         COMP_WORDS=(velvarin-admin ca); COMP_CWORD=1; COMP_LINE="velvarin-admin ca"; COMP_POINT=${#COMP_LINE}
         _velvarin_admin; [ "${COMPREPLY[*]}" = cancel ]
         COMP_WORDS=(velvarin-admin amend 42 cu); COMP_CWORD=3; COMP_LINE="velvarin-admin amend 42 cu"; COMP_POINT=${#COMP_LINE}
         _velvarin_admin; [ "${COMPREPLY[*]}" = customer= ]' 2>/dev/null

[ -f /usr/share/doc/velvarin/README.md ]

velvarin >screen.txt <<'END'
1
42
Ada Lovelace
Zootopia
24-12-2026
1930
2
3
Adult
150
n
4
42
n
7
END
printf '42\nAda Lovelace\nZootopia\n24-12-2026\n1930\n2\n3\nAdult\n150\n\n' | cmp - ticket.txt
grep -q 'Record insert sucessful!' screen.txt
grep -q 'Name: Ada Lovelace' screen.txt
[ "$(tail -c 20 screen.txt)" = "See you next time :)" ]
[ "$(velvarin-admin list --format csv)" = "$(printf 'booking,customer,movie,date,time,guests,house,type,fee\r\n42,Ada Lovelace,Zootopia,24-12-2026,1930,2,3,Adult,150\r')" ]
velvarin-admin check
[ "$(velvarin-admin report --format csv)" = "$(printf 'movie,bookings,guests,fee\r\nZootopia,1,2,150\r')" ]
velvarin-admin cancel 42 >/dev/null
[ ! -s ticket.txt ]

dpkg -r velvarin
trap 'rm -rf "$dir"' EXIT
hash -r
if command -v velvarin >/dev/null || command -v velvarin-admin >/dev/null; then
  echo "deb_test: velvarin is still on the PATH after removal" >&2
  exit 1
fi
echo "deb_test: installed, ran and removed $(basename "$deb")"
