#!/usr/bin/env bash
# A picture of Neovim with README's configuration on the example module: the diagnostics of
# quillmark lsp and the menu of code actions at the function AddTax. Needs xvfb-run, xterm, the IPA
# Gothic font and ImageMagick's import.
#   nvim_screenshot.sh QUILLMARK SOURCE_DIR OUTPUT.png
set -eu
quillmark=$(realpath "$1")
source=$(realpath "$2")
output=$(realpath -m "$3")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$source/examples/Module1.bas" "$source/examples/.quillmark.reg" "$work/"
cat >"$work/show.lua" <<'LUA'
local bufnr = vim.api.nvim_get_current_buf()
local timer = vim.loop.new_timer()
timer:start(200, 200, vim.schedule_wrap(function()
  for _, client in pairs(vim.lsp.buf_get_clients(bufnr)) do
    if client.server_capabilities and #vim.diagnostic.get(bufnr) > 0 then
      timer:stop()
      vim.api.nvim_win_set_cursor(0, { 7, 0 })
      vim.lsp.buf.code_action()
      return
    end
  end
end))
LUA
cd "$work"
PATH="$(dirname "$quillmark"):$PATH" LANG=C.UTF-8 xvfb-run -a -s "-screen 0 1000x580x24" bash -c "
  xterm -fa 'DejaVu Sans Mono' -fd 'IPAGothic' -fs 11 -geometry 110x30+0+0 -bg white -fg black \
    -e nvim --clean -u '$source/editors/nvim/quillmark.lua' --cmd 'let g:quillmark_author = \"山田\"' \
       -c 'set number' -c 'luafile $work/show.lua' Module1.bas &
  sleep 8
  import -window root -crop 1000x580+0+0 '$output'
  kill %1"
echo "$output"
