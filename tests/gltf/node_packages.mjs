// Finds the checks' npm packages (gltf-validator, three) in the folder that
// node_deps.sh installed them into, named by QUORVEL_GLTF_NODE; without it,
// in a node_modules beside these scripts. They stay out of the source tree.
import { existsSync, readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import { dirname, join } from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

function packageFolder() {
  const named = process.env.QUORVEL_GLTF_NODE;
  const folder = named || dirname(fileURLToPath(import.meta.url));
  if (!existsSync(join(folder, 'node_modules'))) {
    throw new Error(
      `no node_modules in ${folder}: run tests/gltf/node_deps.sh BUILD_DIR and set QUORVEL_GLTF_NODE to the folder it prints`);
  }
  return folder;
}

const require = createRequire(join(packageFolder(), 'package.json'));

export function loadValidator() {
  return require('gltf-validator');
}

// three's core and its GLTFLoader as one module graph: the loader imports
// 'three' as an ES module, so the core is loaded from the same file.
export async function loadThree() {
  const loaderPath = require.resolve('three/examples/jsm/loaders/GLTFLoader.js');
  const root = join(dirname(loaderPath), '..', '..', '..');
  const manifest = JSON.parse(readFileSync(join(root, 'package.json'), 'utf8'));
  const THREE = await import(pathToFileURL(join(root, manifest.exports['.'].import)).href);
  const { GLTFLoader } = await import(pathToFileURL(loaderPath).href);
  return { THREE, GLTFLoader };
}
