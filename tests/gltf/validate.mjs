// Runs Khronos' glTF validator on each file (.glb, or .gltf with its
// buffers read from beside it) and prints each report's summary. Exits
// non-zero when any file has an error or a warning (infos and hints are
// fine), printing those messages, or when a file cannot be validated.
//
//   QUORVEL_GLTF_NODE=DIR node tests/gltf/validate.mjs FILE...
import { readFile } from 'node:fs/promises';
import { basename, dirname, resolve } from 'node:path';

import { loadValidator } from './node_packages.mjs';

const files = process.argv.slice(2);
if (files.length === 0) {
  console.error('usage: validate.mjs FILE...');
  process.exit(2);
}

const validator = loadValidator();
let failed = false;
for (const file of files) {
  let report;
  try {
    const bytes = await readFile(file);
    report = await validator.validateBytes(new Uint8Array(bytes), {
      uri: basename(file),
      maxIssues: 0,
      writeTimestamp: false,
      externalResourceFunction: (uri) =>
        readFile(resolve(dirname(file), decodeURIComponent(uri))).then((data) => new Uint8Array(data)),
    });
  } catch (error) {
    console.log(`${file}: cannot be validated: ${error}`);
    failed = true;
    continue;
  }
  const issues = report.issues;
  const infoCodes = [...new Set(issues.messages.filter((m) => m.severity >= 2).map((m) => m.code))];
  console.log(
    `${file}: ${issues.numErrors} errors, ${issues.numWarnings} warnings, ${issues.numInfos} infos, ` +
      `${issues.numHints} hints (validator ${report.validatorVersion})` +
      (infoCodes.length > 0 ? `; infos/hints: ${infoCodes.join(', ')}` : ''));
  for (const message of issues.messages) {
    if (message.severity > 1) continue;
    const kind = message.severity === 0 ? 'error' : 'warning';
    console.log(`  ${kind} ${message.code} at ${message.pointer ?? '(file)'}: ${message.message}`);
  }
  if (issues.numErrors > 0 || issues.numWarnings > 0 || issues.truncated) failed = true;
}
process.exit(failed ? 1 : 0);
