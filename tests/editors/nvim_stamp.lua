-- Run by nvim_stamp_test.sh inside Neovim, on the file it opened with the configuration of README:
-- waits for quillmark lsp, puts the caret at QM_LINE:QM_COLUMN (1-based line, 0-based byte), applies
-- "Insert function-description stamp" from the code-action menu (QM_HOW=menu) or with the key of the
-- configuration (QM_HOW=key), or wraps the lines from there to QM_TO in the edit-record stamp with its
-- key (QM_HOW=wrap), writes the file and quits. Any fault ends Neovim with status 1.
local title = 'Insert function-description stamp'
local bufnr = vim.api.nvim_get_current_buf()

local function fail(message)
  io.stderr:write('nvim: ' .. message .. '\n')
  vim.cmd('cquit 1')
end

local client
local started = vim.wait(20000, function()
  local attached = vim.lsp.get_clients and vim.lsp.get_clients({ bufnr = bufnr }) or vim.lsp.buf_get_clients(bufnr)
  for _, c in pairs(attached) do
    if c.name == 'quillmark' and c.server_capabilities then
      client = c
      return true
    end
  end
  return false
end, 20)
if not started then return fail('the server was not attached and initialized within 20 s') end
if not client.server_capabilities.codeActionProvider then return fail('the server offers no code actions') end

-- The file has procedures without stamps: the server reports them once it has read the text.
if vim.wait(10000, function() return #vim.diagnostic.get(bufnr) > 0 end, 20) then
  for _, d in ipairs(vim.diagnostic.get(bufnr)) do
    io.stdout:write(string.format('diagnostic %d: %s %s\n', d.lnum + 1, tostring(d.code), d.message))
  end
else
  return fail('no diagnostics within 10 s')
end

vim.api.nvim_win_set_cursor(0, { tonumber(vim.env.QM_LINE), tonumber(vim.env.QM_COLUMN) })
local tick = vim.b.changedtick
if vim.env.QM_HOW == 'menu' then
  local offered = {}
  vim.ui.select = function(items, options, choose)
    for index, item in ipairs(items) do
      local text = options.format_item and options.format_item(item) or tostring(item)
      table.insert(offered, text)
      if text == title then return choose(item, index) end
    end
    choose(nil, nil)
  end
  vim.lsp.buf.code_action()
  if not vim.wait(10000, function() return #offered > 0 end, 20) then return fail('no code actions offered') end
  io.stdout:write('offered: ' .. table.concat(offered, ' | ') .. '\n')
elseif vim.env.QM_HOW == 'key' then
  vim.api.nvim_feedkeys((vim.g.mapleader or '\\') .. 'qs', 'mx', false)
else
  -- The edit-record stamp around the lines from the caret to QM_TO, selected line-wise.
  vim.api.nvim_feedkeys('V' .. vim.env.QM_TO .. 'G' .. (vim.g.mapleader or '\\') .. 'qe', 'mx', false)
end
if not vim.wait(10000, function() return vim.b.changedtick ~= tick end, 20) then
  return fail('the stamp was not applied within 10 s')
end
-- An edit may come in several changes: write once the buffer has been still for a while.
local last = vim.b.changedtick
vim.wait(300, function() return false end, 50)
while vim.b.changedtick ~= last do
  last = vim.b.changedtick
  vim.wait(300, function() return false end, 50)
end
vim.cmd('write')
vim.cmd('qall!')
