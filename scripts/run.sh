#!/usr/bin/env bash
# Sets up a fresh Debian machine as needed, builds everything and shows the command engine at
# work on a sample file: it reads the file's times and attributes, changes them, and reads them
# back, through the same commands the page sends.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
"$root/scripts/setup.sh"
. "$root/scripts/wine-env.sh"
wine_start
trap wine_stop EXIT

sample="$root/build/sample"
mkdir -p "$sample"
printf 'A sample file for Varenko.\n' >"$sample/notes.txt"
name=$(winepath -w "$sample/notes.txt" 2>/dev/null | sed -e 's/\\/\\\\/g')

requests=(
  "{\"cmd\":\"getprops\",\"name\":\"$name\",\"allprops\":false}"
  "{\"cmd\":\"setprops\",\"filename\":\"$name\",\"cat\":\"datetime\",\"props\":{\"createtime\":\"\",\"modifytime\":\"2020:01:31 13:45:00\",\"accesstime\":\"\"}}"
  "{\"cmd\":\"setprops\",\"filename\":\"$name\",\"cat\":\"attributes\",\"props\":{\"attributes\":\"RA\"}}"
  "{\"cmd\":\"getprops\",\"name\":\"$name\",\"allprops\":false}"
  "{\"cmd\":\"setprops\",\"filename\":\"$name\",\"cat\":\"attributes\",\"props\":{\"attributes\":\"A\"}}"
)
echo "== varenko-cmd on $sample/notes.txt"
printf '%s\n' "${requests[@]}" | wine "$root/build/bin/varenko-cmd.exe" | while IFS= read -r answer; do
  printf '%s\n' "$answer"
done
