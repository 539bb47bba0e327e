// Checks a WebAssembly program's interface: it must be a WASI command module
// that exports its memory and _start and nothing else, and imports exactly
// the named functions of wasi_snapshot_preview1 and nothing else.
//
//   node wasm_interface.mjs MODULE.wasm IMPORT...
import { readFileSync } from "node:fs";
import { argv, exit } from "node:process";

const [modulePath, ...expectedImports] = argv.slice(2);
const module = new WebAssembly.Module(readFileSync(modulePath));
const describe = (entries) => entries.sort().join(" ");

const imports = describe(
  WebAssembly.Module.imports(module).map(({ module: from, name, kind }) => `${from}.${name}:${kind}`),
);
const exports = describe(WebAssembly.Module.exports(module).map(({ name, kind }) => `${name}:${kind}`));
const wantedImports = describe(expectedImports.map((name) => `wasi_snapshot_preview1.${name}:function`));
const wantedExports = describe(["_start:function", "memory:memory"]);

let failed = 0;
for (const [what, got, wanted] of [
  ["imports", imports, wantedImports],
  ["exports", exports, wantedExports],
]) {
  if (got === wanted) {
    console.log(`${modulePath}: ${what}: ${got}`);
  } else {
    console.log(`${modulePath}: ${what}: ${got}\n  expected: ${wanted}`);
    failed = 1;
  }
}
exit(failed);
