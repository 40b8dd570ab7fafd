// The Quillmark client: starts `quillmark lsp` for VB6 and VBA documents and hands VS Code's
// commands to it. Everything a stamp needs (the format, the team file, the names) is the server's.
'use strict';

const vscode = require('vscode');
const { LanguageClient, TransportKind } = require('vscode-languageclient/node');

// The actions the server carries out; each takes the document and the selection.
const ACTIONS = ['quillmark.insertStamp', 'quillmark.wrapEditRecord', 'quillmark.refreshStamp', 'quillmark.stampAll'];
const LANGUAGES = ['vb', 'vb6', 'vba'];

let client;

function programPath() {
  const configured = vscode.workspace.getConfiguration('quillmark').get('path', '').trim();
  return configured === '' ? 'quillmark' : configured;
}

// Names that are empty are left out, so that the server falls back to the environment and the store.
function initializationOptions() {
  const settings = vscode.workspace.getConfiguration('quillmark');
  const options = {};
  for (const name of ['author', 'editor']) {
    const value = settings.get(name, '');
    if (typeof value === 'string' && value.trim() !== '') options[name] = value;
  }
  return options;
}

// A command from the palette or a key comes without arguments, and one from the editor's context
// menu with the document's URI object: it acts on the active editor's document and selection. One
// from a code action carries its own ([uri, range], the URI as text).
function argumentsFor(converter, args) {
  if (args.length > 0 && typeof args[0] === 'string') return args;
  const editor = vscode.window.activeTextEditor;
  if (!editor || !LANGUAGES.includes(editor.document.languageId)) return undefined;
  return [converter.asUri(editor.document.uri), converter.asRange(editor.selection)];
}

function createClient() {
  const program = programPath();
  const serverOptions = {
    run: { command: program, args: ['lsp'], transport: TransportKind.stdio },
    debug: { command: program, args: ['lsp'], transport: TransportKind.stdio },
  };
  const watchers = ['**/.quillmark.reg', '**/.quillmark-check'].map((glob) =>
    vscode.workspace.createFileSystemWatcher(glob));
  const clientOptions = {
    documentSelector: LANGUAGES.flatMap((language) => [
      { scheme: 'file', language },
    ]),
    initializationOptions: initializationOptions(),
    synchronize: { fileEvents: watchers },
    middleware: {
      executeCommand: async (command, args, next) => {
        if (!ACTIONS.includes(command)) return next(command, args);
        const filled = argumentsFor(client.code2ProtocolConverter, args);
        if (filled === undefined) {
          vscode.window.showInformationMessage('Quillmark: open a VB6 or VBA file first.');
          return undefined;
        }
        return next(command, filled);
      },
    },
  };
  return new LanguageClient('quillmark', 'Quillmark', serverOptions, clientOptions);
}

async function start(context) {
  client = createClient();
  try {
    await client.start();
  } catch (error) {
    vscode.window.showErrorMessage(
      `Quillmark: "${programPath()} lsp" could not be started (${error.message || error}). ` +
        'Install quillmark or set quillmark.path.');
  }
  context.subscriptions.push({ dispose: () => client && client.stop() });
}

async function restart(context) {
  if (client) {
    const old = client;
    client = undefined;
    await old.stop().catch(() => undefined);
  }
  await start(context);
}

async function activate(context) {
  context.subscriptions.push(vscode.commands.registerCommand('quillmark.restartServer', () => restart(context)));
  // The program and the names are read when the server starts; a change of them restarts it.
  context.subscriptions.push(vscode.workspace.onDidChangeConfiguration((event) => {
    if (['quillmark.path', 'quillmark.author', 'quillmark.editor'].some((name) => event.affectsConfiguration(name))) {
      restart(context);
    }
  }));
  await start(context);
}

function deactivate() {
  return client ? client.stop() : undefined;
}

module.exports = { activate, deactivate };
