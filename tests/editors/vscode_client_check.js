// The packed extension's entry, loaded with stand-ins for VS Code and the language client: which
// program it starts with which options, which documents it serves, what the four actions send when
// they come from the palette, a key or a code action, and that starts and stops never overlap.
//   node vscode_client_check.js EXTENSION_DIR
'use strict';
const Module = require('module');
const fs = require('fs');
const os = require('os');
const path = require('path');
const assert = require('assert');

const root = path.resolve(process.argv[2]);
let settings = {};
let activeEditor;
let openDocuments = [];
const messages = [];
const created = [];
const commands = new Map(); // id -> handler, as VS Code holds them: one each
const listeners = { configuration: [], open: [] };
const retagged = [];
// How the next clients' starts end: 'ok', 'fail', or 'wait' (until the check lets them go).
let startMode = 'ok';

const disposable = (onDispose) => ({ disposed: false, dispose() { this.disposed = true; onDispose && onDispose(); } });
const vscode = {
  workspace: {
    getConfiguration: () => ({ get: (name, fallback) => (name in settings ? settings[name] : fallback) }),
    createFileSystemWatcher: (glob) => Object.assign(disposable(), { glob }),
    onDidChangeConfiguration: (listener) => { listeners.configuration.push(listener); return disposable(); },
    onDidOpenTextDocument: (listener) => { listeners.open.push(listener); return disposable(); },
    get textDocuments() { return openDocuments; },
  },
  window: {
    get activeTextEditor() { return activeEditor; },
    showInformationMessage: (text) => messages.push(['info', text]),
    showErrorMessage: (text) => messages.push(['error', text]),
    createOutputChannel: (name) => Object.assign(disposable(), { name, appendLine() {} }),
  },
  commands: {
    registerCommand: (id, handler) => {
      if (commands.has(id)) throw new Error(`command '${id}' already exists`);
      commands.set(id, handler);
      return disposable(() => commands.delete(id));
    },
  },
  languages: {
    setTextDocumentLanguage: async (document, language) => { retagged.push([document.uri.fsPath, language]); },
  },
};

// As vscode-languageclient's: a client starts once; only a running one can be stopped (stopping one
// that starts or failed throws); a running one holds the server's commands.
const State = { Stopped: 1, Running: 2, Starting: 3 };
const CloseAction = { DoNotRestart: 1, Restart: 2 };
class LanguageClient {
  constructor(id, name, server, options) {
    Object.assign(this, { id, name, server, options, phase: 'initial', stops: 0, stateListeners: [] });
    this.code2ProtocolConverter = {
      asUri: (uri) => 'converted:' + uri,
      asRange: (range) => ({ converted: range }),
    };
    created.push(this);
  }
  get state() {
    return { starting: State.Starting, running: State.Running }[this.phase] || State.Stopped;
  }
  set state(phase) {
    const oldState = this.state;
    this.phase = phase;
    const newState = this.state;
    if (newState !== oldState) this.stateListeners.forEach((listener) => listener({ oldState, newState }));
  }
  onDidChangeState(listener) {
    this.stateListeners.push(listener);
    return disposable(() => this.stateListeners.splice(this.stateListeners.indexOf(listener), 1));
  }
  createDefaultErrorHandler() {
    return { error: () => ({ action: 'default' }), closed: () => ({ action: CloseAction.Restart }) };
  }
  start() {
    assert.strictEqual(this.phase, 'initial', 'a client is started once');
    assert.ok(running().length === 0, 'a server starts while another runs');
    assert.ok(this.options.synchronize.fileEvents.every((watcher) => !watcher.disposed), 'watchers of a stopped client');
    this.state = 'starting';
    const mode = startMode;
    return new Promise((resolve, reject) => {
      const end = (ok) => {
        if (!ok) {
          this.state = 'failed';
          reject(new Error('spawn quillmark ENOENT'));
          return;
        }
        this.state = 'running';
        this.registrations = ['quillmark.insertStamp', 'quillmark.wrapEditRecord', 'quillmark.refreshStamp',
          'quillmark.stampAll'].map((id) => vscode.commands.registerCommand(id, () => 'from the server'));
        resolve();
      };
      if (mode === 'wait') this.release = end;
      else end(mode === 'ok');
    });
  }
  isRunning() { return this.phase === 'running'; }
  async stop() {
    // Stopping a client that starts fails, but its program is ended, and so its start.
    if (this.phase === 'starting' && this.release) setImmediate(() => this.release(false));
    if (this.phase !== 'running') throw new Error(`Client is not running and can't be stopped. It's current state is: ${this.phase}`);
    this.stops += 1;
    this.state = 'stopping';
    await settle();
    for (const registration of this.registrations) registration.dispose();
    this.state = 'stopped';
  }
}
const running = () => created.filter((client) => client.phase === 'running' || client.phase === 'starting');
const settle = () => new Promise((resolve) => setImmediate(resolve));
async function until(condition) {
  for (let turn = 0; turn < 100 && !condition(); turn += 1) await settle();
  assert.ok(condition(), 'waited in vain');
}

// The extension's long waits made short where the check asks for it.
let hurry = false;
const wait = setTimeout;
global.setTimeout = (callback, delay, ...args) => wait(callback, hurry && delay >= 10000 ? 0 : delay, ...args);

const stubs = { vscode, 'vscode-languageclient/node': { CloseAction, LanguageClient, State, TransportKind: { stdio: 0 } } };
const load = Module._load;
Module._load = function (request, ...rest) {
  return request in stubs ? stubs[request] : load.call(this, request, ...rest);
};

const extension = require(path.join(root, require(path.join(root, 'package.json')).main));
// The language client's own glob matcher, in place of VS Code's.
const globs = require(require.resolve('minimatch', { paths: [path.join(root, 'node_modules', 'vscode-languageclient')] }));
const minimatch = globs.minimatch || globs;

// A fresh session: the last one deactivated, nothing left registered.
async function activated(withSettings) {
  settings = withSettings;
  created.length = 0;
  messages.length = 0;
  listeners.configuration.length = 0;
  listeners.open.length = 0;
  await extension.activate({ subscriptions: [] });
  return created;
}
async function deactivated() {
  await extension.deactivate();
  assert.deepStrictEqual(running(), [], 'a server outlives the session');
  for (const client of created) {
    assert.ok(client.options.synchronize.fileEvents.every((watcher) => watcher.disposed), 'a watcher outlives the session');
  }
  commands.delete('quillmark.restartServer');
  assert.deepStrictEqual([...commands.keys()], [], 'a command outlives the session');
}
const changeSetting = (name) =>
  listeners.configuration.forEach((listener) => listener({ affectsConfiguration: (asked) => asked === name }));

(async () => {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'quillmark-vscode-'));
  const program = path.join(scratch, 'quillmark');
  fs.writeFileSync(program, '#!/bin/sh\n', { mode: 0o755 });
  const notExecutable = path.join(scratch, 'notes.txt');
  fs.writeFileSync(notExecutable, 'text\n', { mode: 0o644 });

  // The program: PATH's, or the setting's; always with "lsp". A setting that cannot name a program
  // starts nothing and says why.
  const table = [
    [{}, 'quillmark', {}],
    [{ 'path': '  ' }, 'quillmark', {}],
    [{ 'path': program }, program, {}],
    [{ 'path': ` ${program} ` }, program, {}],
    [{ 'path': 'quillmark-1.0' }, 'quillmark-1.0', {}],
    [{ 'author': '山田 太郎', 'editor': '' }, 'quillmark', { author: '山田 太郎' }],
    [{ 'author': ' ', 'editor': 'ﾔﾏﾀﾞ' }, 'quillmark', { editor: 'ﾔﾏﾀﾞ' }],
    [{ 'path': 'bin/quillmark' }, /"bin\/quillmark" is a relative path/],
    [{ 'path': './quillmark' }, /"\.\/quillmark" is a relative path/],
    [{ 'path': '~/bin/quillmark' }, /"~\/bin\/quillmark" is a relative path/],
    [{ 'path': '/nowhere/quillmark' }, /"\/nowhere\/quillmark" does not exist/],
    [{ 'path': scratch }, /is a folder/],
    [{ 'path': notExecutable }, /notes\.txt" is not executable/],
  ];
  for (const [given, program, options] of table) {
    const clients = await activated(given);
    if (program instanceof RegExp) {
      assert.deepStrictEqual(clients, [], JSON.stringify(given));
      assert.strictEqual(messages.length, 1, JSON.stringify(given));
      assert.match(messages[0][1], program);
      assert.match(messages[0][1], /^Quillmark: quillmark\.path /);
    } else {
      assert.strictEqual(clients.length, 1, 'one client');
      assert.deepStrictEqual(clients[0].server.run, { command: program, args: ['lsp'], transport: 0 }, JSON.stringify(given));
      assert.deepStrictEqual(clients[0].options.initializationOptions, options, JSON.stringify(given));
      assert.deepStrictEqual(messages, []);
    }
    await deactivated();
  }
  // As on Windows, where C:\tools\quillmark starts C:\tools\quillmark.exe.
  const windows = [
    ['quillmark', 'quillmark'],
    ['C:quillmark', /relative/],
    ['tools\\quillmark.exe', /relative/],
    ['\\tools\\quillmark.exe', /relative/],
    ['C:\\nowhere\\quillmark.exe', /does not exist/],
  ];
  for (const [given, want] of windows) {
    const got = extension.resolveProgram(given, 'win32');
    if (want instanceof RegExp) assert.match(got.problem, want, given);
    else assert.deepStrictEqual(got, { command: want }, given);
  }

  // The documents served: vb6 and vba files, and of VS Code's own vb (VB.NET, VBScript) only those
  // with a VB6 extension, in any case.
  const [client] = await activated({});
  const selector = client.options.documentSelector;
  assert.ok(selector.every((entry) => entry.scheme === 'file'), 'only files: the team file is found from the folder');
  const served = (language, file) => selector.some((entry) => entry.language === language &&
    (entry.pattern === undefined || minimatch(file, entry.pattern, { dot: true })));
  const documents = [
    ['vb6', '/m/Form1.frm', true],
    ['vba', '/m/Sheet1.txt', true],
    ['vb', '/m/Module1.bas', true],
    ['vb', '/m/MODULE1.BAS', true],
    ['vb', '/m/Class1.Cls', true],
    ['vb', '/m/UserControl1.ctl', true],
    ['vb', '/m/.hidden/Designer1.DSR', true],
    ['vb', '/m/Program.vb', false],
    ['vb', '/m/script.vbs', false],
    ['vb', '/m/main.brs', false],
    ['vb', '/m/Module1.bas.orig', false],
    ['tex', '/m/article.cls', false],
    ['plaintext', '/m/Module1.bas', false],
  ];
  for (const [language, file, want] of documents) assert.strictEqual(served(language, file), want, `${language} ${file}`);
  assert.deepStrictEqual(client.options.synchronize.fileEvents.map((w) => w.glob), ['**/.quillmark.reg', '**/.quillmark-check']);

  // The actions: arguments of a code action go through as they are; without arguments, the active
  // editor's document and selection, where that document is served; else nothing is sent, and the
  // message says what to do.
  const executeCommand = client.options.middleware.executeCommand;
  const sent = [];
  const next = (command, args) => { sent.push([command, args]); return 'done'; };
  const selection = { start: { line: 6, character: 0 }, end: { line: 6, character: 0 } };
  const editorOf = (languageId, fsPath, scheme = 'file') =>
    ({ document: { uri: { scheme, fsPath, toString: () => `${scheme}://${fsPath}` }, languageId }, selection });
  for (const command of ['quillmark.insertStamp', 'quillmark.wrapEditRecord', 'quillmark.refreshStamp', 'quillmark.stampAll']) {
    activeEditor = editorOf('vb6', '/m/Module1.bas');
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
  const refused = [
    [editorOf('plaintext', '/m/notes.txt'), /open a VB6 or VBA file first/],
    [editorOf('vb', '/m/Program.vb'), /open a VB6 or VBA file first/],
    [editorOf('vb6', 'Untitled-1', 'untitled'), /save the file first/],
    [undefined, /open a VB6 or VBA file first/],
  ];
  for (const [editor, message] of refused) {
    activeEditor = editor;
    sent.length = 0;
    messages.length = 0;
    assert.strictEqual(await executeCommand('quillmark.insertStamp', [], next), undefined);
    assert.deepStrictEqual(sent, []);
    assert.deepStrictEqual(messages.map(([kind]) => kind), ['info']);
    assert.match(messages[0][1], message);
  }
  activeEditor = editorOf('vb', '/m/FORM1.FRM');
  sent.length = 0;
  await executeCommand('quillmark.stampAll', [], next);
  assert.deepStrictEqual(sent, [['quillmark.stampAll', ['converted:file:///m/FORM1.FRM', { converted: selection }]]]);
  sent.length = 0;
  await executeCommand('other.command', [], next);
  assert.deepStrictEqual(sent, [['other.command', []]]);
  await deactivated();

  // Restarts: quick changes of the settings and the restart command while a server starts end
  // with one server, started after the first has stopped, with the settings as they are last.
  startMode = 'wait';
  const activating = activated({ 'author': 'A' });
  await settle();
  assert.strictEqual(created.length, 1);
  changeSetting('quillmark.author');
  changeSetting('quillmark.trace.server'); // the client's own: no restart
  settings = { 'author': 'B' };
  changeSetting('quillmark.author');
  const restarted = commands.get('quillmark.restartServer')();
  await settle();
  assert.strictEqual(created.length, 1, 'a second server while the first starts');
  startMode = 'ok';
  created[0].release(true);
  await activating;
  await restarted;
  assert.strictEqual(created.length, 2, 'the restarts asked for together are one');
  assert.strictEqual(created[0].phase, 'stopped');
  assert.ok(created[0].options.synchronize.fileEvents.every((watcher) => watcher.disposed), 'the old watchers');
  assert.deepStrictEqual(created[1].options.initializationOptions, { author: 'B' });
  assert.strictEqual(created[1].phase, 'running');
  // A restart asked for while one runs is another, after it.
  const first = commands.get('quillmark.restartServer')();
  await settle();
  const second = commands.get('quillmark.restartServer')();
  await Promise.all([first, second]);
  assert.strictEqual(created.length, 4);
  assert.deepStrictEqual(running(), [created[3]]);
  // A server that ends is started again by its client while the client is the session's, never
  // once it was let go.
  const closed = (client) => client.options.errorHandler.closed().action;
  assert.strictEqual(closed(created[3]), CloseAction.Restart);
  assert.strictEqual(closed(created[0]), CloseAction.DoNotRestart);
  // A restart while the client starts its server again waits for it, and stops it.
  created[3].state = 'starting';
  const afterCrash = commands.get('quillmark.restartServer')();
  await settle();
  await settle();
  assert.strictEqual(created.length, 4, 'a second server while the first starts again');
  created[3].state = 'running';
  await afterCrash;
  assert.strictEqual(created[3].phase, 'stopped');
  assert.deepStrictEqual(running(), [created[4]]);
  // The end of the session while a restart waits: nothing starts after it.
  startMode = 'wait';
  const pending = commands.get('quillmark.restartServer')();
  await until(() => created.length === 6);
  const ending = extension.deactivate();
  created[5].release(true);
  await pending;
  await ending;
  assert.strictEqual(created.length, 6);
  startMode = 'ok';
  await deactivated();

  // A program that cannot be started is named, with the way out; the actions say so too, until a
  // restart starts one.
  startMode = 'fail';
  await activated({ 'path': 'quillmark-missing' });
  assert.strictEqual(messages.length, 1);
  assert.match(messages[0][1], /"quillmark-missing lsp" could not be started .*quillmark\.path/);
  messages.length = 0;
  commands.get('quillmark.insertStamp')();
  assert.match(messages[0][1], /could not be started/);
  startMode = 'ok';
  settings = {};
  changeSetting('quillmark.path');
  await commands.get('quillmark.restartServer')();
  assert.strictEqual(created[0].stops, 0, 'a client that failed is not stopped');
  assert.strictEqual(closed(created[0]), CloseAction.DoNotRestart, 'a client that failed starts again');
  assert.deepStrictEqual(running(), [created[1]]);
  assert.strictEqual(commands.get('quillmark.insertStamp')(), 'from the server');
  await deactivated();

  // A program that never answers (not quillmark) holds nothing up: it is named, ended, and the
  // next start goes ahead.
  startMode = 'wait';
  hurry = true;
  await activated({});
  hurry = false;
  assert.strictEqual(created.length, 1);
  assert.match(messages[0][1], /"quillmark lsp" did not answer within 20 s/);
  await until(() => created[0].phase === 'failed');
  assert.strictEqual(closed(created[0]), CloseAction.DoNotRestart);
  commands.get('quillmark.stampAll')();
  assert.match(messages[1][1], /did not answer/);
  startMode = 'ok';
  await commands.get('quillmark.restartServer')();
  assert.deepStrictEqual(running(), [created[1]]);
  await deactivated();

  // VS Code's LaTeX support holds .cls: a class module written as VB6 writes one is given back to
  // vb6, at activation and when opened; TeX's own files are left alone.
  const texDocument = (fsPath, firstLine, languageId = 'tex') =>
    ({ uri: { scheme: 'file', fsPath }, languageId, lineCount: 1, lineAt: () => ({ text: firstLine }) });
  openDocuments = [
    texDocument('/m/Class1.cls', 'VERSION 1.0 CLASS'),
    texDocument('/m/article.cls', '\\NeedsTeXFormat{LaTeX2e}'),
    texDocument('/m/Styles.sty', 'VERSION 1.0 CLASS'),
  ];
  retagged.length = 0;
  await activated({});
  assert.deepStrictEqual(retagged, [['/m/Class1.cls', 'vb6']]);
  retagged.length = 0;
  const opened = [
    [texDocument('/m/CUSTOMER.CLS', 'VERSION 1.0 CLASS\r'), true],
    [texDocument('/m/Class2.cls', 'version 1.0 class', 'latex'), true],
    [texDocument('/m/Class3.cls', 'VERSION 1.0 CLASS', 'plaintext'), true],
    [texDocument('/m/Class4.cls', 'VERSION 1.0 CLASS', 'vb6'), false],
    [texDocument('/m/Class5.cls', 'VERSION 1.0 CLASS', 'vba'), false],
    [texDocument('/m/report.cls', '% VERSION 1.0 CLASS'), false],
    [texDocument('/m/Form1.frm', 'VERSION 1.0 CLASS'), false],
    [Object.assign(texDocument('/m/Class6.cls', 'VERSION 1.0 CLASS'), { uri: { scheme: 'git', fsPath: '/m/Class6.cls' } }), false],
  ];
  for (const [document, want] of opened) {
    retagged.length = 0;
    await Promise.all(listeners.open.map((listener) => listener(document)));
    assert.deepStrictEqual(retagged, want ? [[document.uri.fsPath, 'vb6']] : [], document.uri.fsPath);
  }
  openDocuments = [];
  await deactivated();

  fs.rmSync(scratch, { recursive: true, force: true });
  console.log('the extension starts and drives the server as configured');
})().catch((error) => {
  console.error(error);
  process.exit(1);
});
