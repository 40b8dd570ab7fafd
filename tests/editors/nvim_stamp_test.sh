#!/usr/bin/env bash
# Neovim's built-in client, configured with the file README shows, applies the function-description
# stamp (from the menu of code actions and from the key) and the edit-record stamp (from the key, on a
# line-wise selection) through quillmark lsp to code page 932 modules with Japanese text; the written
# file must be byte for byte what `quillmark stamp --line N --write` or `mark` writes on a copy.
# Status 77 (skipped) where nvim is not installed.
#   nvim_stamp_test.sh QUILLMARK SOURCE_DIR WORK_DIR
set -u
quillmark=$1
source=$2
work=$3
config=$source/editors/nvim/quillmark.lua
# README shows the very file the test runs.
shown=$(awk '/^<!-- editors\/nvim\/quillmark.lua/ { marked = 1; next }
             marked && /^```lua$/ { inside = 1; next }
             inside && /^```$/ { exit }
             inside { print }' "$source/README.md")
if [ "$shown" != "$(cat "$config")" ]; then
  echo "FAIL README does not show editors/nvim/quillmark.lua as it is"
  diff <(echo "$shown") "$config" | head -20
  exit 1
fi
if ! command -v nvim >/dev/null 2>&1; then
  echo "nvim is missing (apt-get install neovim): skipped"
  exit 77
fi
nvim --version | head -1
now="2026-12-09 10:30:00"
passed=0
failed=0
rm -rf "$work"
mkdir -p "$work"
# A module whose procedure and arguments have Japanese names, with Japanese text left of the caret.
printf '%s\r\n' 'Attribute VB_Name = "Kaikei"' 'Option Explicit' '' \
  "Public Function 税込額(ByVal 金額 As Long, Optional ByVal 区分 As String = \"標準\") As Long" \
  '    税込額 = 金額 * 1.1' 'End Function' | iconv -f UTF-8 -t CP932 >"$work/Kaikei.bas"
# The same in UTF-8, with a character beyond the basic plane left of the caret.
printf '%s\r\n' 'Attribute VB_Name = "Kaikei8"' 'Option Explicit' '' \
  "Public Function 税込額(ByVal 金額 As Long) As Long ' 𠮷野家の分も" \
  '    税込額 = 金額 * 1.1' 'End Function' >"$work/Kaikei8.bas"
# name  file  line  column  how (the menu of code actions, or a key of the configuration; a key on
# the lines from the caret to the last, selected line-wise)  last  the command
cases=(
  "function   $source/examples/Module1.bas  7   0   menu  -   stamp --line 7"
  "japanese   $work/Kaikei.bas              4   40  menu  -   stamp --line 4"
  "header     $source/examples/Module1.bas  2   0   key   -   stamp --line 2"
  "continued  $source/examples/Module1.bas  12  63  key   -   stamp --line 12"
  "record     $source/examples/Module1.bas  13  4   wrap  16  mark --from 13 --to 17"
  "lastlines  $work/Kaikei.bas              5   0   wrap  6   mark --from 5 --to 6:99"
  "utf8       $work/Kaikei8.bas             4   62  menu  -   stamp --line 4 --encoding utf-8"
)
for entry in "${cases[@]}"; do
  read -r name file line column how last verb args <<<"$entry"
  for side in nvim command; do
    mkdir -p "$work/$name/$side"
    cp "$file" "$work/$name/$side/"
    cp "$source/examples/.quillmark.reg" "$work/$name/$side/"
  done
  base=$(basename "$file")
  # The names in the stamps come from the client's options and from the options: the environment's
  # must lose in both.
  (cd "$work/$name/command" && QUILLMARK_AUTHOR=環境 QUILLMARK_EDITOR=環境 \
     "$quillmark" "$verb" "$base" $args --write --now "$now" --author 山田 --editor 山田 >/dev/null 2>&1)
  (cd "$work/$name/nvim" && PATH="$(dirname "$quillmark"):$PATH" QUILLMARK_AUTHOR=環境 QUILLMARK_EDITOR=環境 \
     QM_LINE=$line QM_COLUMN=$column QM_HOW=$how QM_TO=$last \
     timeout 120 nvim --headless --clean -n -u "$config" \
       --cmd "let g:quillmark_author = '山田' | let g:quillmark_editor = '山田' | let g:quillmark_now = '$now'" \
       -c "luafile $source/tests/editors/nvim_stamp.lua" "$base" \
       >"$work/$name/nvim.log" 2>&1 </dev/null)
  status=$?
  awk '{ print "  " $0 }' "$work/$name/nvim.log"
  if [ "$status" -eq 0 ] && cmp -s "$work/$name/nvim/$base" "$work/$name/command/$base"; then
    passed=$((passed + 1))
    echo "ok   $name: $base at $line:$column, from the $how, as \"$verb $args\" writes it"
  else
    failed=$((failed + 1))
    echo "FAIL $name: $base at $line:$column, from the $how (nvim status $status)"
    diff <(iconv -f CP932 -t UTF-8 "$work/$name/command/$base" | cat -A) \
         <(iconv -f CP932 -t UTF-8 "$work/$name/nvim/$base" | cat -A) | head -40
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
