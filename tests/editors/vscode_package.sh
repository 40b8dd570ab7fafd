#!/usr/bin/env bash
# The VS Code extension built into a .vsix from the npm registry's packages (npm ci, vsce package),
# then the archive checked: the manifest, the entry, the language client with what it needs, and no
# tool of the build. Status 77 (skipped) where npm is missing or its registry cannot be reached.
#   vscode_package.sh SOURCE_DIR WORK_DIR
set -u
source=$1
work=$2
if ! command -v npm >/dev/null 2>&1 || ! command -v node >/dev/null 2>&1; then
  echo "node or npm is missing (apt-get install nodejs npm): the .vsix is not built, skipped"
  exit 77
fi
if ! timeout 60 npm ping --fetch-retries=0 --fetch-timeout=20000 >/dev/null 2>&1; then
  echo "the npm registry ($(npm config get registry)) cannot be reached: the .vsix is not built, skipped"
  exit 77
fi
passed=0
failed=0
check() {
  local name=$1; shift
  if "$@" >/dev/null 2>&1; then passed=$((passed + 1)); echo "ok   $name"; else failed=$((failed + 1)); echo "FAIL $name"; fi
}
# A copy, so that the source tree never holds node_modules.
rm -rf "$work"
mkdir -p "$work"
(cd "$source/editors/vscode" && tar --exclude=./node_modules --exclude='./*.vsix' -cf - .) | tar -xf - -C "$work/" || exit 1
cd "$work" || exit 1
version=$(node -p "require('./package.json').version")
vsix=$work/quillmark-$version.vsix
check "npm ci installs the locked packages" npm ci --ignore-scripts --no-audit --no-fund
check "vsce packages the extension" npx --no-install vsce package --skip-license --allow-missing-repository --out "$vsix"
check "the extension's entry is valid JavaScript" node --check extension.js
listing=$(unzip -Z1 "$vsix" 2>/dev/null)
echo "$listing" | grep -v '^extension/node_modules/.*/.' | sed 's/^/  /'
for file in extension.vsixmanifest extension/package.json extension/extension.js extension/language-configuration.json \
            extension/README.md extension/syntaxes/vb6.tmLanguage.json \
            extension/node_modules/vscode-languageclient/node.js \
            extension/node_modules/vscode-languageclient/lib/node/main.js \
            extension/node_modules/vscode-languageserver-protocol/package.json \
            extension/node_modules/vscode-jsonrpc/package.json; do
  check "it holds $file" grep -qxF "$file" <<<"$listing"
done
check "it holds no tool of the build" bash -c "! grep -q '^extension/node_modules/@vscode/vsce/' <<<'$listing'"
check "it holds no tree of the source's own node_modules twice" bash -c "! grep -q '^extension/node_modules/.*/node_modules/vscode-languageclient/' <<<'$listing'"
# The manifest as packed: the entry, the languages, the actions with their titles, the settings.
unpacked=$work/unpacked
rm -rf "$unpacked"
mkdir -p "$unpacked"
unzip -q "$vsix" -d "$unpacked"
check "the packed manifest is the extension's, with its entry and actions" node - "$unpacked/extension" <<'JS'
const path = require('path');
const root = process.argv[2];
const manifest = require(path.join(root, 'package.json'));
const fail = (message) => { console.error(message); process.exit(1); };
if (!require('fs').existsSync(path.join(root, manifest.main))) fail('no entry ' + manifest.main);
if (!manifest.dependencies['vscode-languageclient']) fail('no language client');
const vb6 = manifest.contributes.languages.find((language) => language.id === 'vb6');
const want = ['.frm', '.ctl', '.pag', '.dob', '.dsr'];
if (!vb6 || want.some((extension) => !vb6.extensions.includes(extension))) fail('vb6 lacks an extension');
// What VS Code's own languages hold stays theirs (and their highlighting): a file a later extension
// also claims takes the later one's language.
const builtIn = { vb: ['.vb', '.brs', '.vbs', '.bas'], tex: ['.sty', '.cls', '.bbx', '.cbx'] };
for (const [language, extensions] of Object.entries(builtIn)) {
  for (const extension of manifest.contributes.languages.flatMap((l) => l.extensions || [])) {
    if (extensions.includes(extension.toLowerCase())) fail(extension + ' taken from ' + language);
  }
}
// vb6's highlighting is VS Code's own Visual Basic grammar's.
const grammar = (manifest.contributes.grammars || []).find((entry) => entry.language === 'vb6');
if (!grammar) fail('vb6 has no grammar');
const rules = require(path.join(root, grammar.path));
if (rules.scopeName !== grammar.scopeName || !JSON.stringify(rules.patterns).includes('"source.asp.vb.net"')) fail('vb6 grammar');
// The menus offer the actions on vb documents only where these are VB6 files.
for (const entries of Object.values(manifest.contributes.menus)) {
  for (const entry of entries) {
    if (/editorLangId =~ \/\^\(vb\|/.test(entry.when) || !/editorLangId == vb && resourceExtname/.test(entry.when)) {
      fail('menu ' + entry.command + ' offers every vb document');
    }
  }
}
const titles = {
  'quillmark.insertStamp': 'Insert function-description stamp',
  'quillmark.wrapEditRecord': 'Wrap selection in edit-record stamp',
  'quillmark.refreshStamp': 'Refresh this stamp',
  'quillmark.stampAll': 'Stamp every procedure of this file',
};
for (const [command, title] of Object.entries(titles)) {
  const entry = manifest.contributes.commands.find((c) => c.command === command);
  if (!entry || entry.title !== title) fail('command ' + command + ' lacks its title');
}
for (const setting of ['quillmark.path', 'quillmark.author', 'quillmark.editor']) {
  if (!manifest.contributes.configuration.properties[setting]) fail('no setting ' + setting);
}
// A workspace (a cloned repository) must not choose the program that is started.
if (manifest.contributes.configuration.properties['quillmark.path'].scope !== 'machine') fail('a workspace may set quillmark.path');
if (!manifest.capabilities.untrustedWorkspaces.restrictedConfigurations.includes('quillmark.path')) fail('quillmark.path not restricted');
for (const event of ['onLanguage:vb', 'onLanguage:vb6', 'onLanguage:vba', 'workspaceContains:**/*.vbp']) {
  if (!manifest.activationEvents.includes(event)) fail('not activated on ' + event);
}
JS
check "the packed extension drives the server as it should" node "$source/tests/editors/vscode_client_check.js" "$unpacked/extension"
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
