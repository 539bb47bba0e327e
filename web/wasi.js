// A small host for WASI preview-1 command modules, enough for the two
// quadsolve programs: arguments, standard input from a byte source, standard
// output and error to byte sinks, and the exit code. Loaded by the page for
// quadsolve.wasm; started as a Web Worker, it runs quadsolve-batch.wasm over
// a file read in slices, so that any size goes through in constant memory.
'use strict';

const WASI_ERRNO_SUCCESS = 0;
const WASI_ERRNO_BADF = 8;
const WASI_ERRNO_NOSYS = 52;
const WASI_FILETYPE_REGULAR_FILE = 4;
const IOVEC_SIZE = 8;
const FDSTAT_SIZE = 24;
const STDIN = 0;
const STDOUT = 1;
const STDERR = 2;

// Thrown by proc_exit through the module's frames to end the run.
class WasiExit extends Error {
  constructor(code) {
    super('exit ' + code);
    this.code = code;
  }
}

// Runs the command module `module` (a WebAssembly.Module) to its end.
// io.args: the argument strings (the program's name first);
// io.read(n): up to n further bytes of standard input as a Uint8Array, an
//   empty one at the end of the input;
// io.write(fd, bytes): takes what the program writes to standard output (1)
//   or error (2); bytes is a view into the module's memory, valid only
//   during the call.
// Result: the exit code. A trap of the module (an unreachable instruction,
// an access out of bounds, the stack exhausted) is thrown as the
// WebAssembly.RuntimeError that the engine raises.
function runWasi(module, io) {
  const encoder = new TextEncoder();
  const args = io.args.map((arg) => encoder.encode(arg + '\0'));
  let memory = null;
  const view = () => new DataView(memory.buffer);
  const bytes = (pointer, length) => new Uint8Array(memory.buffer, pointer, length);
  const iovecs = (pointer, count) => {
    const list = [];
    const data = view();
    for (let i = 0; i < count; i++) {
      const at = pointer + i * IOVEC_SIZE;
      list.push({pointer: data.getUint32(at, true), length: data.getUint32(at + 4, true)});
    }
    return list;
  };

  const calls = {
    args_sizes_get(countPointer, sizePointer) {
      view().setUint32(countPointer, args.length, true);
      view().setUint32(sizePointer, args.reduce((sum, arg) => sum + arg.length, 0), true);
      return WASI_ERRNO_SUCCESS;
    },
    args_get(pointers, buffer) {
      for (let i = 0; i < args.length; i++) {
        view().setUint32(pointers + 4 * i, buffer, true);
        bytes(buffer, args[i].length).set(args[i]);
        buffer += args[i].length;
      }
      return WASI_ERRNO_SUCCESS;
    },
    environ_sizes_get(countPointer, sizePointer) {
      view().setUint32(countPointer, 0, true);
      view().setUint32(sizePointer, 0, true);
      return WASI_ERRNO_SUCCESS;
    },
    environ_get() { return WASI_ERRNO_SUCCESS; },
    fd_fdstat_get(fd, statPointer) {
      if (fd > STDERR) return WASI_ERRNO_BADF;
      bytes(statPointer, FDSTAT_SIZE).fill(0);
      view().setUint8(statPointer, WASI_FILETYPE_REGULAR_FILE);
      return WASI_ERRNO_SUCCESS;
    },
    fd_read(fd, iovecPointer, iovecCount, readPointer) {
      if (fd !== STDIN) return WASI_ERRNO_BADF;
      let total = 0;
      for (const {pointer, length} of iovecs(iovecPointer, iovecCount)) {
        if (length === 0) continue;
        const piece = io.read(length);
        bytes(pointer, piece.length).set(piece);
        total += piece.length;
        if (piece.length < length) break;
      }
      view().setUint32(readPointer, total, true);
      return WASI_ERRNO_SUCCESS;
    },
    fd_write(fd, iovecPointer, iovecCount, writtenPointer) {
      if (fd !== STDOUT && fd !== STDERR) return WASI_ERRNO_BADF;
      let total = 0;
      for (const {pointer, length} of iovecs(iovecPointer, iovecCount)) {
        io.write(fd, bytes(pointer, length));
        total += length;
      }
      view().setUint32(writtenPointer, total, true);
      return WASI_ERRNO_SUCCESS;
    },
    fd_close(fd) { return fd <= STDERR ? WASI_ERRNO_SUCCESS : WASI_ERRNO_BADF; },
    fd_prestat_get() {
      return WASI_ERRNO_BADF;  // no directories are open to the program
    },
    proc_exit(code) { throw new WasiExit(code); },
  };

  // Any other function the module imports answers "not supported".
  const wasi = {};
  for (const entry of WebAssembly.Module.imports(module)) {
    if (entry.module === 'wasi_snapshot_preview1' && entry.kind === 'function')
      wasi[entry.name] = calls[entry.name] || (() => WASI_ERRNO_NOSYS);
  }
  const instance = new WebAssembly.Instance(module, {wasi_snapshot_preview1: wasi});
  memory = instance.exports.memory;
  try {
    instance.exports._start();
  } catch (error) {
    if (error instanceof WasiExit) return error.code;
    throw error;
  }
  return 0;
}

// Counts the answers of quadsolve-batch by the start of each output line:
// the outcome code, or the run-time error's code.
class AnswerCounter {
  constructor() {
    this.counts = {'-1': 0, 0: 0, 1: 0, 2: 0, 3: 0};
    this.errors = {};
    this.line = [];  // the start of a line not yet ended
  }

  add(chunk) {
    const LINE_FEED = 10;
    const PREFIX = 20;  // enough for "Runtime error NNN"
    let start = 0;
    while (start < chunk.length) {
      const end = chunk.indexOf(LINE_FEED, start);
      const stop = end < 0 ? chunk.length : end;
      if (this.line.length < PREFIX)
        for (let i = start; i < stop && this.line.length < PREFIX; i++) this.line.push(chunk[i]);
      if (end < 0) break;
      this.count(String.fromCharCode(...this.line));
      this.line = [];
      start = end + 1;
    }
  }

  count(text) {
    const error = /^Runtime error +(\d+)/.exec(text);
    if (error)
      this.errors[error[1]] = (this.errors[error[1]] || 0) + 1;
    else {
      const code = text.split(/[ \r]/)[0];
      if (code in this.counts) this.counts[code]++;
    }
  }
}

// Where the Worker puts the answers: a file of the origin's private file
// system, written as they come, so that memory does not grow with them; where
// the browser has none (a page not served from a secure origin), Blobs of a
// few megabytes, which the browser keeps in memory or on disk as it sees fit.
// Result: {write(bytes), finish()}, finish() giving the answers as a Blob.
async function answerSink(run) {
  const OUTPUT_PART = 8 << 20;  // bytes gathered before they become a Blob
  try {
    const folder = await navigator.storage.getDirectory();
    for await (const name of folder.keys()) await folder.removeEntry(name).catch(() => {});
    const file = await folder.getFileHandle(`answers-${run}`, {create: true});
    const access = await file.createSyncAccessHandle();
    let size = 0;
    return {
      write: (bytes) => (size += access.write(bytes, {at: size})),
      finish: async () => {
        access.close();
        return file.getFile();
      },
    };
  } catch (error) {
    const parts = [];
    let pending = [];
    let pendingSize = 0;
    return {
      write(bytes) {
        pending.push(bytes.slice());
        pendingSize += bytes.length;
        if (pendingSize < OUTPUT_PART) return;
        parts.push(new Blob(pending));
        pending = [];
        pendingSize = 0;
      },
      finish: async () => new Blob(parts.concat([new Blob(pending)])),
    };
  }
}

// The Worker: given the compiled quadsolve-batch.wasm once ({module}), it
// answers each {input: Blob} with {progress} messages and one {done}: the
// exit code, the output as a Blob of the program's exact bytes, what it wrote
// to standard error, and the counts.
if (typeof WorkerGlobalScope !== 'undefined' && self instanceof WorkerGlobalScope) {
  const SLICE = 1 << 20;          // bytes read from the file at a time
  const PROGRESS_STEP = 1 << 22;  // bytes between two progress messages
  let batchModule = null;
  let runs = 0;

  const run = async (input) => {
    const sink = await answerSink(++runs);
    const reader = new FileReaderSync();
    let slice = new Uint8Array(0);
    let sliceAt = 0;
    let position = 0;
    let reported = 0;
    const errorBytes = [];
    const counter = new AnswerCounter();
    const progress = () => {
      self.postMessage(
          {progress: position, total: input.size, counts: counter.counts, errors: counter.errors});
    };
    const io = {
      args: ['quadsolve-batch'],
      read(length) {
        if (sliceAt === slice.length) {
          const end = Math.min(position + SLICE, input.size);
          slice = new Uint8Array(reader.readAsArrayBuffer(input.slice(position, end)));
          sliceAt = 0;
        }
        const piece = slice.subarray(sliceAt, sliceAt + length);
        sliceAt += piece.length;
        position += piece.length;
        if (position - reported >= PROGRESS_STEP) {
          reported = position;
          progress();
        }
        return piece;
      },
      write(fd, bytes) {
        if (fd === STDERR) {
          errorBytes.push(...bytes);
          return;
        }
        counter.add(bytes);
        sink.write(bytes);
      },
    };
    let exitCode;
    let trap = null;
    try {
      exitCode = runWasi(batchModule, io);
    } catch (error) {
      trap = String(error);
    }
    progress();
    self.postMessage({
      done: true,
      exitCode,
      trap,
      output: await sink.finish(),
      stderr: new TextDecoder().decode(new Uint8Array(errorBytes)),
      counts: counter.counts,
      errors: counter.errors,
    });
  };

  // One run at a time, in the order asked.
  let queue = Promise.resolve();
  self.onmessage = (event) => {
    if (event.data.module)
      batchModule = event.data.module;
    else if (event.data.input)
      queue = queue.then(() => run(event.data.input));
  };
}
