#!/usr/bin/env node
// Runs a WASI command module under Node's WASI, as a program is run:
//
//   node tools/wasi_run.mjs MODULE.wasm [ARGUMENT...]
//
// The module gets this process's standard input, output and error as its
// descriptors 0, 1 and 2, the arguments after the module's name (its own name
// first, as argv[0]), no environment, and two preopened directories: the
// current folder (".") and the root ("/"), so that it opens relative and
// absolute file names as a program of this system does.
// This process ends with the module's exit code. A trap of the module (an
// integer division by zero, an unreachable instruction, a memory access out
// of bounds, a call stack that ran out) ends it with a line on standard error
// and exit code 134, the status of a program ended by SIGABRT.
//
// Node 20 and later have WASI without a flag; before that it needs
// --experimental-wasi-unstable-preview1, with which this script starts itself
// again. Node's warning that WASI is experimental is not shown: standard
// error belongs to the module.
import { spawnSync } from "node:child_process";
import { readFileSync } from "node:fs";
import { basename } from "node:path";
import { argv, exit, execArgv, execPath, versions } from "node:process";

const wasiFlag = "--experimental-wasi-unstable-preview1";
const trapExitCode = 134;

if (Number(versions.node.split(".")[0]) < 20 && !execArgv.includes(wasiFlag)) {
  const child = spawnSync(execPath, [...execArgv, wasiFlag, "--no-warnings", ...argv.slice(1)], {
    stdio: "inherit",
  });
  exit(child.status ?? trapExitCode);
}

process.removeAllListeners("warning");
const { WASI } = await import("node:wasi");

const [modulePath, ...moduleArguments] = argv.slice(2);
if (modulePath === undefined) {
  process.stderr.write("usage: wasi_run.mjs MODULE.wasm [ARGUMENT...]\n");
  exit(2);
}

const wasi = new WASI({
  version: "preview1",
  args: [basename(modulePath), ...moduleArguments],
  env: {},
  preopens: { ".": ".", "/": "/" },
  returnOnExit: true,
});
const module = await WebAssembly.compile(readFileSync(modulePath));
const instance = await WebAssembly.instantiate(module, {
  wasi_snapshot_preview1: wasi.wasiImport,
});
let code;
try {
  code = wasi.start(instance);
} catch (error) {
  // A trap, or the engine's own stack running out.
  process.stderr.write(`${basename(modulePath)}: the module trapped: ${error.message}\n`);
  code = trapExitCode;
}
exit(code);
