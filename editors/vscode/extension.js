// The Quillmark client: starts `quillmark lsp` for VB6 and VBA documents and hands VS Code's
// commands to it. Everything a stamp needs (the format, the team file, the names) is the server's.
'use strict';

const fs = require('fs');
const path = require('path');
const vscode = require('vscode');
const { CloseAction, LanguageClient, State, TransportKind } = require('vscode-languageclient/node');

// The actions the server carries out; each takes the document and the selection.
const ACTIONS = ['quillmark.insertStamp', 'quillmark.wrapEditRecord', 'quillmark.refreshStamp', 'quillmark.stampAll'];
// The settings read when the server starts: a change of one restarts it.
const START_SETTINGS = ['quillmark.path', 'quillmark.author', 'quillmark.editor'];
// How long the server may take to answer `initialize`; quillmark answers at once.
const START_TIMEOUT_MS = 20000;
// The files of a VB6 project's code: modules, classes, forms, user controls, property pages, user
// documents and designers.
const VB6_EXTENSIONS = ['bas', 'cls', 'frm', 'ctl', 'pag', 'dob', 'dsr'];

// Each letter in either case: a document selector's pattern is matched case-sensitively where the
// file system is, and VB6 projects are full of MODULE1.BAS.
function anyCase(word) {
  return [...word].map((letter) => `[${letter}${letter.toUpperCase()}]`).join('');
}

// VS Code's own `vb` language (VB.NET and VBScript: .vb, .vbs, .brs) also holds .bas: of its
// documents only those with a VB6 extension are served. `vb6` (this extension's) and `vba` (the
// VBA extensions') are VB6 or VBA code whatever their name.
const VB6_FILES = `**/*.{${VB6_EXTENSIONS.map(anyCase).join(',')}}`;
const DOCUMENT_SELECTOR = [
  { scheme: 'file', language: 'vb6' },
  { scheme: 'file', language: 'vba' },
  { scheme: 'file', language: 'vb', pattern: VB6_FILES },
];

function hasVb6Extension(fileName) {
  return VB6_EXTENSIONS.includes(path.extname(fileName).slice(1).toLowerCase());
}

// Whether the server is given the document: the same as DOCUMENT_SELECTOR.
function isServed(document) {
  if (document.uri.scheme !== 'file') return false;
  if (document.languageId === 'vb6' || document.languageId === 'vba') return true;
  return document.languageId === 'vb' && hasVb6Extension(document.uri.fsPath);
}

// VS Code's LaTeX support holds .cls (TeX class files), so a VB6 class module opens as `tex` (or as
// whatever a TeX extension calls it). One that starts as VB6 writes a class ("VERSION 1.0 CLASS") is
// VB6 code.
function isVb6ClassTakenElsewhere(document) {
  if (['vb', 'vb6', 'vba'].includes(document.languageId) || document.uri.scheme !== 'file') return false;
  if (path.extname(document.uri.fsPath).toLowerCase() !== '.cls' || document.lineCount === 0) return false;
  return /^VERSION \d+\.\d+ CLASS\s*$/i.test(document.lineAt(0).text);
}

function reclaimClass(document) {
  if (!isVb6ClassTakenElsewhere(document)) return undefined;
  return Promise.resolve(vscode.languages.setTextDocumentLanguage(document, 'vb6')).catch(() => undefined);
}

function quoted(text) {
  return JSON.stringify(text);
}

// The program that serves the stamps, from `quillmark.path`: { command } to start, or { problem }
// saying why it cannot be. Empty is `quillmark` from PATH, and so is a name without a folder; any
// other path must be absolute (a relative one would depend on the folder VS Code happens to run
// in) and name an existing program.
function resolveProgram(configured, platform = process.platform) {
  const value = typeof configured === 'string' ? configured.trim() : '';
  if (value === '') return { command: 'quillmark' };
  const paths = platform === 'win32' ? path.win32 : path.posix;
  const folderSigns = platform === 'win32' ? /[\\/:]/ : /\//;
  if (!folderSigns.test(value)) return { command: value };
  const setting = `quillmark.path ${quoted(value)}`;
  if (!paths.isAbsolute(value) || (platform === 'win32' && !/^([A-Za-z]:[\\/]|[\\/]{2})/.test(value))) {
    return {
      problem: `${setting} is a relative path: name the program with its full path, or leave the ` +
        'setting empty for quillmark from PATH.',
    };
  }
  // Windows starts C:\tools\quillmark as C:\tools\quillmark.exe.
  const candidates = platform === 'win32' && paths.extname(value) === '' ? [value, `${value}.exe`, `${value}.com`] : [value];
  let folder = false;
  for (const candidate of candidates) {
    let stat;
    try {
      stat = fs.statSync(candidate);
    } catch {
      continue;
    }
    if (stat.isDirectory()) {
      folder = true;
      continue;
    }
    if (platform !== 'win32') {
      try {
        fs.accessSync(candidate, fs.constants.X_OK);
      } catch {
        return { problem: `${setting} is not executable: allow it to run (chmod +x), or name another program.` };
      }
    }
    return { command: value };
  }
  if (folder) return { problem: `${setting} is a folder: name the quillmark program in it.` };
  return { problem: `${setting} does not exist: install quillmark there, or correct the setting.` };
}

// Names that are empty are left out, so that the server falls back to the environment and the store.
function initializationOptions(settings) {
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
  if (args.length > 0 && typeof args[0] === 'string') return { args };
  const editor = vscode.window.activeTextEditor;
  if (!editor) return { problem: 'Quillmark: open a VB6 or VBA file first.' };
  const document = editor.document;
  if (!isServed(document)) {
    if (document.uri.scheme !== 'file' && ['vb', 'vb6', 'vba'].includes(document.languageId)) {
      return { problem: 'Quillmark: save the file first (the team file is found from its folder).' };
    }
    return { problem: 'Quillmark: open a VB6 or VBA file first.' };
  }
  return { args: [converter.asUri(document.uri), converter.asRange(editor.selection)] };
}

// The client, and what its error handler needs to know of it: whether it ever ran (a server that
// ends while the client starts is a start that failed, reported once, not one to start again), and
// whether it was let go (a server that ends then is not started again behind the next one).
function createClient(command, watchers, settings, outputChannel) {
  const life = { ran: false, retired: false };
  let defaults;
  const serverOptions = {
    run: { command, args: ['lsp'], transport: TransportKind.stdio },
    debug: { command, args: ['lsp'], transport: TransportKind.stdio },
  };
  let client;
  const clientOptions = {
    documentSelector: DOCUMENT_SELECTOR,
    initializationOptions: initializationOptions(settings),
    synchronize: { fileEvents: watchers },
    outputChannel,
    errorHandler: {
      error: (error, message, count) => defaults.error(error, message, count),
      closed: () => (life.ran && !life.retired ? defaults.closed() : { action: CloseAction.DoNotRestart, handled: true }),
    },
    middleware: {
      executeCommand: async (name, args, next) => {
        if (!ACTIONS.includes(name)) return next(name, args);
        const filled = argumentsFor(client.code2ProtocolConverter, args);
        if (filled.problem !== undefined) {
          vscode.window.showInformationMessage(filled.problem);
          return undefined;
        }
        return next(name, filled.args);
      },
    },
  };
  client = new LanguageClient('quillmark', 'Quillmark', serverOptions, clientOptions);
  defaults = client.createDefaultErrorHandler();
  return { client, life };
}

// A client that starts again after its server ended is waited for: one that is starting can be
// neither stopped nor left.
function startedOrStopped(client) {
  if (client.state !== State.Starting) return Promise.resolve();
  return new Promise((resolve) => {
    const watch = client.onDidChangeState((change) => {
      if (change.newState === State.Starting) return;
      watch.dispose();
      resolve();
    });
  });
}

// One server at a time. Every start and stop runs on one chain, each after the one before has
// finished, so that quick changes of the settings, a restart while the server is starting and the
// end of the session never leave two servers (or a server and its watchers) behind.
let chain = Promise.resolve();
let session; // { client, life, disposables } of the server that runs, or of the start that failed
let queuedRestart; // a restart on the chain that has not begun: it reads the settings when it does
let outputChannel;
let closed = false;

function serialize(step) {
  const run = chain.then(step);
  chain = run.catch(() => undefined);
  return run;
}

function report(problem) {
  vscode.window.showErrorMessage(problem);
  if (outputChannel) outputChannel.appendLine(problem);
}

// Without a server the actions are not the language client's: they say why instead of VS Code's
// "command not found".
function standInCommands(problem) {
  return ACTIONS.map((name) => vscode.commands.registerCommand(name, () => report(problem)));
}

async function startSession() {
  if (closed) return;
  const settings = vscode.workspace.getConfiguration('quillmark');
  const disposables = [];
  const program = resolveProgram(settings.get('path', ''));
  if (program.problem !== undefined) {
    const problem = `Quillmark: ${program.problem}`;
    session = { client: undefined, disposables: standInCommands(problem) };
    report(problem);
    return;
  }
  const watchers = ['**/.quillmark.reg', '**/.quillmark-check'].map((glob) =>
    vscode.workspace.createFileSystemWatcher(glob));
  disposables.push(...watchers);
  const { client, life } = createClient(program.command, watchers, settings, outputChannel);
  session = { client, life, disposables };
  let timer;
  try {
    const started = client.start();
    const answered = await Promise.race([
      started.then(() => true),
      new Promise((resolve) => { timer = setTimeout(() => resolve(false), START_TIMEOUT_MS); }),
    ]);
    if (!answered) {
      // Not the server, or one that hangs: the chain goes on. The language client cannot stop a
      // client that starts, but it ends its program as it tries, and the start then fails.
      started.catch(() => undefined);
      life.retired = true;
      session.client = undefined;
      client.stop().catch(() => undefined);
      const problem = `Quillmark: ${quoted(`${program.command} lsp`)} did not answer within ` +
        `${START_TIMEOUT_MS / 1000} s. Is quillmark.path the quillmark program?`;
      disposables.push(...standInCommands(problem));
      report(problem);
      return;
    }
    life.ran = true;
  } catch (error) {
    // A client whose start failed cannot be stopped, nor started again.
    life.retired = true;
    session.client = undefined;
    const problem = `Quillmark: ${quoted(`${program.command} lsp`)} could not be started ` +
      `(${(error && error.message) || error}). Install quillmark or set quillmark.path.`;
    disposables.push(...standInCommands(problem));
    report(problem);
  } finally {
    clearTimeout(timer);
  }
}

async function stopSession() {
  const ending = session;
  session = undefined;
  if (!ending) return;
  if (ending.client) {
    ending.life.retired = true;
    await startedOrStopped(ending.client);
    if (ending.client.isRunning()) await ending.client.stop().catch(() => undefined);
  }
  for (const disposable of ending.disposables) disposable.dispose();
}

// Restarts asked for while one waits on the chain are that one: it reads the settings as they are
// when it begins.
function restart() {
  if (queuedRestart) return queuedRestart;
  const run = serialize(async () => {
    queuedRestart = undefined;
    await stopSession();
    await startSession();
  });
  queuedRestart = run;
  return run;
}

async function activate(context) {
  closed = false;
  outputChannel = vscode.window.createOutputChannel('Quillmark');
  context.subscriptions.push(outputChannel);
  context.subscriptions.push(vscode.commands.registerCommand('quillmark.restartServer', () => restart()));
  context.subscriptions.push(vscode.workspace.onDidChangeConfiguration((event) => {
    if (START_SETTINGS.some((name) => event.affectsConfiguration(name))) restart();
  }));
  context.subscriptions.push(vscode.workspace.onDidOpenTextDocument(reclaimClass));
  await Promise.all(vscode.workspace.textDocuments.map(reclaimClass));
  await serialize(startSession);
}

function deactivate() {
  closed = true;
  queuedRestart = undefined;
  return serialize(stopSession);
}

// resolveProgram for the extension's own check, which runs it as each platform would.
module.exports = { activate, deactivate, resolveProgram };
