// Writes glTF and GLB files with korvan_cli and has the Khronos validator check them: the
// sample house, the house with stored UVs and a transparent material, and a house whose
// coordinates six significant digits cannot hold. Every file must have no errors.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import validator from 'gltf-validator';

const cli = process.argv[2];
const dir = fs.mkdtempSync(path.join(os.tmpdir(), `korvan-gltf-${process.pid}-`));
const run = (...args) => execFileSync(cli, args, { cwd: dir, stdio: ['ignore', 'pipe', 'pipe'] });

run('uv-bake', '--out', 'uv.korv');
run('materials', '--in', 'uv.korv', '--index', '9', '--opacity', '0.5', '--out', 'uv.korv');
// A door mirrored about a slanted plane: its corners land on floats that need up to nine
// digits, so bounds written with six would not match the buffer.
run('mirror-node', '--name', 'Door', '--normal', '1,2,0.3', '--point', '0.3,0.1,0', '--out', 'odd.korv');

const models = [['house', []], ['uv', ['--in', 'uv.korv']], ['odd', ['--in', 'odd.korv']]];
let failed = 0;
for (const [name, input] of models) {
  for (const ext of ['gltf', 'glb']) {
    const file = `${name}.${ext}`;
    run('export-gltf', ...input, '--out', file);
    const bytes = new Uint8Array(fs.readFileSync(path.join(dir, file)));
    const report = await validator.validateBytes(bytes, {
      uri: file,
      externalResourceFunction: (uri) =>
        Promise.resolve(new Uint8Array(fs.readFileSync(path.join(dir, decodeURIComponent(uri))))),
    });
    const errors = report.issues.numErrors;
    const text = fs.readFileSync(path.join(dir, file), 'latin1');
    // The second model must really carry what it is here to test.
    const wants = name === 'uv' ? ['TEXCOORD_0', '"alphaMode": "BLEND"'] : [];
    const missing = wants.filter((w) => !text.includes(w));
    console.log(`${file}: errors=${errors} warnings=${report.issues.numWarnings}` +
                (missing.length ? ` missing=${missing.join(',')}` : ''));
    if (errors) {
      for (const m of report.issues.messages.filter((i) => i.severity === 0).slice(0, 10)) {
        console.log(`  ${m.code} ${m.pointer ?? ''} ${m.message}`);
      }
    }
    if (errors || missing.length) failed += 1;
  }
}
fs.rmSync(dir, { recursive: true, force: true });
process.exit(failed ? 1 : 0);
