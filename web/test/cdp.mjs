// A small client of Chromium's DevTools protocol over --remote-debugging-pipe
// (requests on fd 3, answers on fd 4, each a JSON text ending in a zero
// byte): launches headless Chromium, attaches to its page and sends
// commands. No npm packages.
import { spawn } from "node:child_process";
import { mkdtempSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { join } from "node:path";

export async function launch(executable = process.env.CHROMIUM ?? "/usr/bin/chromium") {
  const profile = mkdtempSync(join(tmpdir(), "idstamp-chromium-"));
  const args = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-features=Translate,MediaRouter", `--user-data-dir=${profile}`,
    // Chromium slows a page past 200 changes of its URL in 10 s; the checks
    // ask the page thousands of questions through its fragment.
    "--disable-ipc-flooding-protection",
    "--remote-debugging-pipe", "about:blank"];
  const child = spawn(executable, args, { stdio: ["ignore", "ignore", "pipe", "pipe", "pipe"] });
  let stderr = "";
  child.stderr.on("data", (d) => (stderr = (stderr + d).slice(-4000)));
  const [input, output] = [child.stdio[3], child.stdio[4]];

  let next = 1;
  const waiting = new Map(); // id -> { resolve, reject, method }
  const listeners = new Set(); // (message) => void, for events
  let buffer = Buffer.alloc(0);
  output.on("data", (chunk) => {
    buffer = Buffer.concat([buffer, chunk]);
    for (let end; (end = buffer.indexOf(0)) !== -1; ) {
      const message = JSON.parse(buffer.subarray(0, end).toString("utf8"));
      buffer = buffer.subarray(end + 1);
      if (message.id !== undefined && waiting.has(message.id)) {
        const w = waiting.get(message.id);
        waiting.delete(message.id);
        if (message.error) w.reject(new Error(`${w.method}: ${message.error.message}`));
        else w.resolve(message.result);
      } else {
        for (const listen of listeners) listen(message);
      }
    }
  });
  const exited = new Promise((resolve) => child.on("exit", resolve));
  exited.then(() => {
    for (const w of waiting.values()) w.reject(new Error(`chromium exited: ${stderr}`));
  });

  function send(method, params = {}, sessionId) {
    const id = next++;
    const message = JSON.stringify(sessionId ? { id, method, params, sessionId } : { id, method, params });
    return new Promise((resolve, reject) => {
      waiting.set(id, { resolve, reject, method });
      input.write(`${message}\0`);
    });
  }

  const { targetInfos } = await send("Target.getTargets");
  const page = targetInfos.find((t) => t.type === "page");
  const { sessionId } = await send("Target.attachToTarget", { targetId: page.targetId, flatten: true });

  return {
    send: (method, params) => send(method, params, sessionId),
    on(method, listen) {
      listeners.add((m) => m.sessionId === sessionId && m.method === method && listen(m.params));
    },
    // The value of an expression in the page, promises awaited.
    async evaluate(expression) {
      const r = await send("Runtime.evaluate", { expression, awaitPromise: true, returnByValue: true }, sessionId);
      if (r.exceptionDetails) {
        throw new Error(`in the page: ${r.exceptionDetails.exception?.description ?? r.exceptionDetails.text}`);
      }
      return r.result.value;
    },
    async close() {
      try {
        await Promise.race([send("Browser.close"), new Promise((r) => setTimeout(r, 3000))]);
      } catch {
        // already gone
      }
      if (child.exitCode === null) child.kill("SIGKILL");
      await exited;
      // Chromium's helpers may still be writing into the profile for a moment.
      await new Promise((r) => setTimeout(r, 300));
      rmSync(profile, { recursive: true, force: true, maxRetries: 10, retryDelay: 200 });
    },
  };
}
