-- quillmark lsp in Neovim's built-in client (Neovim 0.7 and later).
-- Load it from init.lua with dofile('/path/to/quillmark.lua'), or copy it there. Your names go into
-- the stamps from vim.g.quillmark_author and vim.g.quillmark_editor (else QUILLMARK_AUTHOR and
-- QUILLMARK_EDITOR, else your own store); vim.g.quillmark_path names the program if it is not
-- `quillmark` on PATH.
local extensions = { bas = true, cls = true, frm = true, ctl = true, pag = true, dob = true, dsr = true }
local group = vim.api.nvim_create_augroup('quillmark', { clear = true })

-- The VB6 file types as Visual Basic, whatever their case (Neovim 0.8 and later detect with this
-- table; the autocommand below does it on 0.7 and for names in mixed case).
if vim.filetype and vim.filetype.add then
  local map = {}
  for extension in pairs(extensions) do
    map[extension] = 'vb'
    map[extension:upper()] = 'vb'
  end
  vim.filetype.add({ extension = map })
end

local function is_vb6(file)
  return extensions[(vim.fn.fnamemodify(file, ':e')):lower()] == true
end

-- VB6 saves its files in code page 932: read them as such unless they are UTF-8, and write them back
-- in the encoding they were read in.
vim.api.nvim_create_autocmd('BufReadPre', {
  group = group,
  callback = function(args)
    if is_vb6(args.file) then
      vim.g.quillmark_saved_fencs = vim.o.fileencodings
      vim.o.fileencodings = 'ucs-bom,utf-8,cp932'
    end
  end,
})
vim.api.nvim_create_autocmd({ 'BufReadPost', 'BufNewFile' }, {
  group = group,
  callback = function(args)
    if not is_vb6(args.file) then return end
    if vim.g.quillmark_saved_fencs then
      vim.o.fileencodings = vim.g.quillmark_saved_fencs
      vim.g.quillmark_saved_fencs = nil
    end
    vim.bo[args.buf].filetype = 'vb'
  end,
})

local function root_of(file)
  local dir = vim.fn.fnamemodify(file, ':p:h')
  for _, marker in ipairs({ '.quillmark.reg', '.git' }) do
    local found = vim.fn.findfile(marker, dir .. ';')
    if found == '' then found = vim.fn.finddir(marker, dir .. ';') end
    if found ~= '' then return vim.fn.fnamemodify(found, ':p:h'):gsub('/%.git$', '') end
  end
  return dir
end

local function client_of(bufnr)
  if vim.lsp.get_clients then return vim.lsp.get_clients({ bufnr = bufnr, name = 'quillmark' })[1] end
  for _, client in pairs(vim.lsp.buf_get_clients(bufnr)) do
    if client.name == 'quillmark' then return client end
  end
end

-- The four actions as the server's commands, for keys: the document and the caret or selection.
local function run(command, bufnr, visual)
  local client = client_of(bufnr)
  if not client then return end
  local range
  if visual then
    -- The lines of the selection, from the start of the first to the end of the last.
    local first, last = vim.fn.line('v'), vim.fn.line('.')
    if first > last then first, last = last, first end
    local width = #vim.fn.getline(last)
    local stop = width > 0 and vim.lsp.util.character_offset(bufnr, last - 1, width, client.offset_encoding) or 0
    range = { start = { line = first - 1, character = 0 }, ['end'] = { line = last - 1, character = stop } }
  else
    range = vim.lsp.util.make_range_params(0, client.offset_encoding).range
  end
  local params = { command = command, arguments = { vim.uri_from_bufnr(bufnr), range } }
  if vim.fn.has('nvim-0.11') == 1 then
    client:request('workspace/executeCommand', params, nil, bufnr)
  else
    client.request('workspace/executeCommand', params, nil, bufnr)
  end
end

local function on_attach(_, bufnr)
  local function map(mode, keys, action, what)
    vim.keymap.set(mode, keys, action, { buffer = bufnr, desc = what })
  end
  map('n', '<leader>qa', vim.lsp.buf.code_action, 'quillmark: actions here')
  map('n', '<leader>qs', function() run('quillmark.insertStamp', bufnr) end, 'Insert function-description stamp')
  map('x', '<leader>qe', function()
    run('quillmark.wrapEditRecord', bufnr, true)
    vim.api.nvim_feedkeys(vim.api.nvim_replace_termcodes('<Esc>', true, false, true), 'n', false)
  end, 'Wrap selection in edit-record stamp')
  map('n', '<leader>qr', function() run('quillmark.refreshStamp', bufnr) end, 'Refresh this stamp')
  map('n', '<leader>qA', function() run('quillmark.stampAll', bufnr) end, 'Stamp every procedure of this file')
end

-- Only the names that are set: the server takes the others from the environment or the store.
local function options()
  local set = vim.empty_dict()
  for _, name in ipairs({ 'author', 'editor', 'now' }) do
    local value = vim.g['quillmark_' .. name]
    if type(value) == 'string' and value ~= '' then set[name] = value end
  end
  return set
end

local clients = {}

vim.api.nvim_create_autocmd('FileType', {
  group = group,
  pattern = { 'vb', 'vb6', 'vba' },
  callback = function(args)
    if vim.bo[args.buf].buftype ~= '' then return end
    local root = root_of(vim.api.nvim_buf_get_name(args.buf))
    local config = {
      name = 'quillmark',
      cmd = { vim.g.quillmark_path or 'quillmark', 'lsp' },
      root_dir = root,
      init_options = options(),
      on_attach = on_attach,
    }
    if vim.lsp.start then
      vim.lsp.start(config, { bufnr = args.buf })
      return
    end
    -- Neovim 0.7: one client per root, started once and attached to every buffer of that root.
    local id = clients[root]
    if not id or not vim.lsp.get_client_by_id(id) then
      id = vim.lsp.start_client(config)
      clients[root] = id
    end
    if id then vim.lsp.buf_attach_client(args.buf, id) end
  end,
})
