// Drives `korvan_cli mcp` over standard input and output with the official MCP client.
//
//   node client.mjs <path of korvan_cli> <group>
//
// Groups: protocol, succeeding-verb, spaced-argument, timeout, pictures. Each starts its own server
// in a fresh temporary directory. Exit status: 0 passed, 1 failed, 77 skipped because the
// verb the group needs still answers "not built yet".
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { EventEmitter } from 'node:events';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

import { Client } from '@modelcontextprotocol/sdk/client/index.js';
import { StdioClientTransport } from '@modelcontextprotocol/sdk/client/stdio.js';

const SKIP = 77;
// Sanitizer builds start every child slowly; only a hang should ever reach this.
const CALL_TIMEOUT_MS = 300000;

const [cli, group] = process.argv.slice(2);
if (!cli || !group) {
  console.error('usage: node client.mjs <korvan_cli> <group>');
  process.exit(2);
}

class Skip extends Error {}

// A thousand requests in flight leave one 'drain' listener each on the server's input.
EventEmitter.defaultMaxListeners = 2000;

async function startServer(cwd) {
  const transport = new StdioClientTransport({
    command: cli,
    args: ['mcp'],
    cwd,
    env: { ...process.env },  // sanitizer settings must reach the server and its children
    stderr: 'pipe',
  });
  let stderr = '';
  // Standard error is its own pipe, so its first line may land after the first response.
  const firstLine = new Promise((resolve) => {
    transport.stderr.on('data', (chunk) => {
      stderr += chunk;
      if (stderr.includes('\n')) resolve();
    });
    transport.stderr.on('end', resolve);
  });
  const client = new Client({ name: 'korvan-test-client', version: '1.0.0' });
  await client.connect(transport, { timeout: CALL_TIMEOUT_MS });
  return { client, stderr: () => stderr, firstLine };
}

function textOf(result) {
  assert.equal(result.content.length, 1);
  assert.equal(result.content[0].type, 'text');
  return result.content[0].text;
}

async function korvanRun(client, args, extra = {}) {
  const result = await client.callTool(
    { name: 'korvan_run', arguments: { args, ...extra } }, undefined,
    { timeout: CALL_TIMEOUT_MS });
  return { text: textOf(result), isError: result.isError === true };
}

// The text item and the width and height of each PNG image item that follows it.
async function korvanRunPictures(client, args) {
  const result = await client.callTool(
    { name: 'korvan_run', arguments: { args } }, undefined, { timeout: CALL_TIMEOUT_MS });
  assert.equal(result.content[0].type, 'text');
  const sizes = result.content.slice(1).map((item) => {
    assert.equal(item.type, 'image');
    assert.equal(item.mimeType, 'image/png');
    const png = Buffer.from(item.data, 'base64');
    assert.ok(png.subarray(0, 8).equals(Buffer.from([0x89, 0x50, 0x4e, 0x47, 13, 10, 26, 10])));
    assert.equal(png.toString('latin1', 12, 16), 'IHDR');
    return [png.readUInt32BE(16), png.readUInt32BE(20)];
  });
  return { text: result.content[0].text, isError: result.isError === true, sizes };
}

// An unknown verb prints the usage; a verb whose operation has not landed says so.
function skipUnlessBuilt(verb, reply) {
  if (reply.text.includes(`${verb}: not built yet`) ||
      reply.text.includes('\n--- stdout ---\nKorvan CLI\n')) {
    throw new Skip(`"${verb}" is not built yet, so this case cannot run`);
  }
}

const groups = {
  async protocol(client, cwd, server) {
    assert.deepEqual(client.getServerVersion(), { name: 'korvan', version: '1.1.0' });
    assert.match(client.getInstructions(), /korvan_help/);
    await server.firstLine;
    assert.equal(server.stderr(), `[korvan-mcp] ready; commands run in ${cwd}\n`);

    const { tools } = await client.listTools();
    assert.deepEqual(tools.map((t) => t.name), ['korvan_help', 'korvan_run']);
    assert.deepEqual(tools[1].inputSchema.required, ['args']);

    const help = await client.callTool({ name: 'korvan_help', arguments: {} }, undefined,
                                       { timeout: CALL_TIMEOUT_MS });
    const usage = spawnSync(cli, [], { cwd, encoding: 'utf8' }).stdout;
    assert.ok(usage.startsWith('Korvan CLI\n'));
    assert.equal(textOf(help), usage);
    assert.notEqual(help.isError, true);

    // A verb that fails its precondition: exit code 1 and the stderr section.
    const failing = await korvanRun(client, ['face-pushpull', '--face', '3', '--distance', '1']);
    assert.deepEqual(failing, {
      text: `$ korvan_cli face-pushpull --face 3 --distance 1\ncwd: ${cwd}\nexit code: 1\n` +
            '--- stderr ---\nface-pushpull requires --out\n',
      isError: true,
    });

    fs.mkdirSync(path.join(cwd, 'dir with space'));
    const elsewhere = await korvanRun(client, ['no-such-verb'], { cwd: 'dir with space' });
    assert.ok(elsewhere.text.startsWith('$ korvan_cli no-such-verb\ncwd: dir with space\n' +
                                        'exit code: 1\n--- stdout ---\nKorvan CLI\n'),
              elsewhere.text);

    const refusals = [
      [{ args: [] }, '"args" must be a non-empty array of strings.'],
      [{ args: ['stats', 3] }, 'Every item in "args" must be a string.'],
      [{ args: ['mcp'] }, '"mcp" starts a server; it is not a command to run.'],
    ];
    for (const [args, message] of refusals) {
      const result = await client.callTool({ name: 'korvan_run', arguments: args });
      assert.deepEqual({ text: textOf(result), isError: result.isError }, { text: message, isError: true });
    }
    const unknown = await client.callTool({ name: 'korvan_paint', arguments: {} });
    assert.deepEqual({ text: textOf(unknown), isError: unknown.isError },
                     { text: 'Unknown tool: korvan_paint', isError: true });

    // A thousand requests in a row, all in flight at once: every one answered, in kind.
    const replies = await Promise.all(Array.from({ length: 1000 }, (_, i) =>
      (i % 10 === 9 ? client.listTools() : client.ping())));
    assert.equal(replies.length, 1000);
    replies.forEach((reply, i) => {
      if (i % 10 === 9) assert.equal(reply.tools.length, 2);
      else assert.deepEqual(reply, {});
    });
  },

  async 'succeeding-verb'(client, cwd) {
    const reply = await korvanRun(client, ['stats']);
    skipUnlessBuilt('stats', reply);
    assert.equal(reply.isError, false, reply.text);
    assert.ok(reply.text.startsWith(`$ korvan_cli stats\ncwd: ${cwd}\nexit code: 0\n--- stdout ---\n`),
              reply.text);
  },

  async 'spaced-argument'(client) {
    // The loader names the file it could not read, so the argument shows up whole.
    const reply = await korvanRun(client, ['load', 'my model.korv']);
    skipUnlessBuilt('load', reply);
    assert.equal(reply.isError, true);
    assert.match(reply.text, /\n--- stderr ---\nFailed to load "my model\.korv"/);
  },

  async timeout(client) {
    // stats on the built-in townhouse loads shared libraries, builds the model and flattens
    // it: milliseconds of work, never done within a 1 ms budget. The probe proves the verb
    // itself succeeds, so the only reason for the second run to fail is the budget.
    const probe = await korvanRun(client, ['stats']);
    skipUnlessBuilt('stats', probe);
    assert.equal(probe.isError, false, probe.text);
    const slow = await korvanRun(client, ['stats'], { timeout_ms: 1 });
    assert.equal(slow.isError, true);
    assert.match(slow.text, /\nTIMED OUT(\n|$)/);
    assert.deepEqual(await client.ping(), {});  // the server outlived its child
  },

  async pictures(client) {
    const still = await korvanRunPictures(client, ['still', '--size', '1600x900', '--out', 'v.png']);
    skipUnlessBuilt('still', still);
    assert.equal(still.isError, false, still.text);
    assert.match(still.text, /\n--- stdout ---\nWrote .*"v\.png"/);
    assert.deepEqual(still.sizes, [[1024, 576]]);

    // Each scene and the contact sheet, four at most, none larger than 1024 a side.
    const present = await korvanRunPictures(client, ['present', '--fast', '--out', 'deck']);
    skipUnlessBuilt('present', present);
    assert.equal(present.isError, false, present.text);
    assert.ok(present.sizes.length >= 1 && present.sizes.length <= 4, present.text);
    for (const [w, h] of present.sizes) assert.ok(w <= 1024 && h <= 1024 && w >= 1 && h >= 1);

    // Nothing written, or nothing new: the text alone.
    for (const args of [['stats'], ['still', '--in', 'missing.korv', '--out', 'w.png']]) {
      const reply = await korvanRunPictures(client, args);
      assert.deepEqual(reply.sizes, [], reply.text);
      assert.equal(reply.isError, args[0] !== 'stats', reply.text);
    }

    const huge = await korvanRunPictures(client, ['still', '--size', '9000x2', '--out', 'h.png']);
    assert.equal(huge.isError, false, huge.text);
    assert.deepEqual(huge.sizes, []);
    assert.match(huge.text, /\nPicture "h\.png" is 9000 x 2 pixels, more than 8192 a side or 64 megapixels; not shown\.$/);
  },
};

async function main() {
  const body = groups[group];
  if (!body) {
    console.error(`unknown group ${group}`);
    return 2;
  }
  const cwd = fs.realpathSync(fs.mkdtempSync(path.join(os.tmpdir(), 'korvan-mcp-')));
  let server;
  try {
    server = await startServer(cwd);
    await body(server.client, cwd, server);
    console.log(`mcp client ${group}: passed`);
    return 0;
  } catch (e) {
    if (e instanceof Skip) {
      console.log(`mcp client ${group}: skipped: ${e.message}`);
      return SKIP;
    }
    console.error(`mcp client ${group}: FAILED`);
    console.error(e);
    if (server) console.error(`server stderr:\n${server.stderr()}`);
    return 1;
  } finally {
    if (server) await server.client.close();
    fs.rmSync(cwd, { recursive: true, force: true });
  }
}

process.exit(await main());
