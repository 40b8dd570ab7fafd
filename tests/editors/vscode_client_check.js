// The packed extension's entry, loaded with stand-ins for VS Code and the language client: which
// program it starts with which options, which documents it serves, and what the four actions send
// when they come from the palette, a key or a code action.
//   node vscode_client_check.js EXTENSION_DIR
'use strict';
const Module = require('module');
const path = require('path');
const assert = require('assert');

const root = process.argv[2];
let settings = {};
let activeEditor;
const messages = [];
const created = [];
let failStart = false;

const vscode = {
  workspace: {
    getConfiguration: () => ({ get: (name, fallback) => (name in settings ? settings[name] : fallback) }),
    createFileSystemWatcher: (glob) => ({ glob }),
    onDidChangeConfiguration: () => ({ dispose() {} }),
  },
  window: {
    get activeTextEditor() { return activeEditor; },
    showInformationMessage: (text) => messages.push(['info', text]),
    showErrorMessage: (text) => messages.push(['error', text]),
  },
  commands: { registerCommand: (id) => ({ id, dispose() {} }) },
};
class LanguageClient {
  constructor(id, name, server, options) {
    Object.assign(this, { id, name, server, options });
    this.code2ProtocolConverter = {
      asUri: (uri) => 'converted:' + uri,
      asRange: (range) => ({ converted: range }),
    };
    created.push(this);
  }
  start() { return failStart ? Promise.reject(new Error('spawn quillmark ENOENT')) : Promise.resolve(); }
  stop() { return Promise.resolve(); }
}
const stubs = { vscode, 'vscode-languageclient/node': { LanguageClient, TransportKind: { stdio: 0 } } };
const load = Module._load;
Module._load = function (request, ...rest) {
  return request in stubs ? stubs[request] : load.call(this, request, ...rest);
};

const extension = require(path.join(root, require(path.join(root, 'package.json')).main));

async function activated(withSettings) {
  settings = withSettings;
  created.length = 0;
  messages.length = 0;
  await extension.activate({ subscriptions: [] });
  assert.strictEqual(created.length, 1, 'one client');
  return created[0];
}

(async () => {
  // The program: PATH's, or the setting's; always with "lsp".
  const table = [
    [{}, 'quillmark', {}],
    [{ 'path': '  ' }, 'quillmark', {}],
    [{ 'path': '/opt/qm/bin/quillmark' }, '/opt/qm/bin/quillmark', {}],
    [{ 'author': '山田 太郎', 'editor': '' }, 'quillmark', { author: '山田 太郎' }],
    [{ 'author': ' ', 'editor': 'ﾔﾏﾀﾞ' }, 'quillmark', { editor: 'ﾔﾏﾀﾞ' }],
  ];
  for (const [given, program, options] of table) {
    const client = await activated(given);
    assert.deepStrictEqual(client.server.run, { command: program, args: ['lsp'], transport: 0 }, JSON.stringify(given));
    assert.deepStrictEqual(client.options.initializationOptions, options, JSON.stringify(given));
  }

  const client = await activated({});
  const languages = new Set(client.options.documentSelector.map((selector) => selector.language));
  assert.deepStrictEqual([...languages].sort(), ['vb', 'vb6', 'vba']);
  // Only files: the server reads the team file from a document's folder.
  assert.ok(client.options.documentSelector.every((selector) => selector.scheme === 'file'));
  assert.deepStrictEqual(client.options.synchronize.fileEvents.map((w) => w.glob), ['**/.quillmark.reg', '**/.quillmark-check']);

  // The actions: arguments of a code action go through as they are; without arguments, the active
  // editor's document and selection; with no VB editor, nothing is sent.
  const executeCommand = client.options.middleware.executeCommand;
  const sent = [];
  const next = (command, args) => { sent.push([command, args]); return 'done'; };
  const selection = { start: { line: 6, character: 0 }, end: { line: 6, character: 0 } };
  activeEditor = { document: { uri: 'file:///m/Module1.bas', languageId: 'vb6' }, selection };
  for (const command of ['quillmark.insertStamp', 'quillmark.wrapEditRecord', 'quillmark.refreshStamp', 'quillmark.stampAll']) {
    sent.length = 0;
    assert.strictEqual(await executeCommand(command, ['file:///x.bas', { start: {}, end: {} }], next), 'done');
    assert.deepStrictEqual(sent, [[command, ['file:///x.bas', { start: {}, end: {} }]]]);
    sent.length = 0;
    await executeCommand(command, [], next);
    assert.deepStrictEqual(sent, [[command, ['converted:file:///m/Module1.bas', { converted: selection }]]]);
    // The editor's context menu gives the document's URI object: the active editor counts.
    sent.length = 0;
    await executeCommand(command, [{ $mid: 1, scheme: 'file', path: '/m/Module1.bas' }], next);
    assert.deepStrictEqual(sent, [[command, ['converted:file:///m/Module1.bas', { converted: selection }]]]);
  }
  sent.length = 0;
  activeEditor = { document: { uri: 'file:///m/notes.txt', languageId: 'plaintext' }, selection };
  assert.strictEqual(await executeCommand('quillmark.insertStamp', [], next), undefined);
  activeEditor = undefined;
  assert.strictEqual(await executeCommand('quillmark.stampAll', [], next), undefined);
  assert.deepStrictEqual(sent, []);
  assert.strictEqual(messages.filter(([kind]) => kind === 'info').length, 2);
  await executeCommand('other.command', [], next);
  assert.deepStrictEqual(sent, [['other.command', []]]);

  // A program that cannot be started is named, with the way out.
  failStart = true;
  await activated({ 'path': '/nowhere/quillmark' });
  assert.strictEqual(messages.length, 1);
  assert.match(messages[0][1], /"\/nowhere\/quillmark lsp" could not be started .*quillmark\.path/);
  console.log('the extension starts and drives the server as configured');
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
