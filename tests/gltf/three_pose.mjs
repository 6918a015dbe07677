// Loads a glTF file with three.js' GLTFLoader under Node and writes, for the
// rest state and for every animation at its earliest keyframe time, the
// world-space positions (metres) of every mesh primitive's vertices after
// morphing and skinning as three.js computes them.
//
//   QUORVEL_GLTF_NODE=DIR node tests/gltf/three_pose.mjs FILE OUT.json
//
// OUT.json: {"animations": [{"name": "" (the rest state, first) or the
//   animation's name, "meshes": [{"node": the glTF node's name, "object":
//   its extras.quorvel.object or null, "mesh": i, "primitive": j, "rest":
//   [x, y, z, ...] (POSITION by the node's rest world matrix), "posed":
//   [...]}]}]}
//
// There is no DOM here: the file's bytes are parsed (a .gltf's buffers read
// from disk), and images are left out, as positions do not depend on them.
//
// three.js skins with the first set of four influences only (JOINTS_0 /
// WEIGHTS_0, renormalised when it loads them). For a primitive with further
// sets this script adds their influences the way applyBoneTransform adds the
// first four, from the file's own weights; such a mesh carries
// "influence_sets" > 1 and, for comparison, "posed_first_set": what three.js
// alone gives.
import { readFile, writeFile } from 'node:fs/promises';
import { dirname, resolve } from 'node:path';

import { loadThree } from './node_packages.mjs';

const GLB_MAGIC = 0x46546c67;
const CHUNK_JSON = 0x4e4f534a;
const CHUNK_BIN = 0x004e4942;

// The file as its JSON and one binary buffer (a .gltf's buffers joined).
async function readAsset(file) {
  const bytes = await readFile(file);
  const view = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
  if (bytes.length >= 12 && view.getUint32(0, true) === GLB_MAGIC) {
    let json = null;
    let bin = new Uint8Array(0);
    for (let at = 12; at + 8 <= bytes.length;) {
      const length = view.getUint32(at, true);
      const type = view.getUint32(at + 4, true);
      const chunk = bytes.subarray(at + 8, at + 8 + length);
      if (type === CHUNK_JSON) json = JSON.parse(new TextDecoder().decode(chunk));
      if (type === CHUNK_BIN) bin = new Uint8Array(chunk);
      at += 8 + length;
    }
    if (json === null) throw new Error(`${file}: a .glb without a JSON chunk`);
    return { json, bin };
  }
  const json = JSON.parse(new TextDecoder().decode(bytes));
  const parts = [];
  for (const buffer of json.buffers ?? []) {
    if (buffer.uri === undefined) throw new Error(`${file}: a buffer without uri in a .gltf`);
    if (buffer.uri.startsWith('data:')) {
      parts.push(new Uint8Array(Buffer.from(buffer.uri.slice(buffer.uri.indexOf(',') + 1), 'base64')));
    } else {
      parts.push(new Uint8Array(await readFile(resolve(dirname(file), decodeURIComponent(buffer.uri)))));
    }
  }
  // One buffer: each part starts 4-aligned, the views move with it.
  const starts = [];
  let size = 0;
  for (const part of parts) {
    size = (size + 3) & ~3;
    starts.push(size);
    size += part.length;
  }
  const bin = new Uint8Array(size);
  parts.forEach((part, i) => bin.set(part, starts[i]));
  for (const view of json.bufferViews ?? []) {
    view.byteOffset = (view.byteOffset ?? 0) + starts[view.buffer];
    view.buffer = 0;
  }
  for (const image of json.images ?? []) {
    if (image.bufferView === undefined) delete image.uri;
  }
  json.buffers = size > 0 ? [{ byteLength: size }] : undefined;
  return { json, bin };
}

// Positions do not depend on images, and three's image loading needs a DOM.
function withoutImages(json) {
  const copy = structuredClone(json);
  delete copy.images;
  delete copy.textures;
  delete copy.samplers;
  for (const material of copy.materials ?? []) {
    if (material.pbrMetallicRoughness) {
      delete material.pbrMetallicRoughness.baseColorTexture;
      delete material.pbrMetallicRoughness.metallicRoughnessTexture;
    }
    delete material.normalTexture;
    delete material.occlusionTexture;
    delete material.emissiveTexture;
    delete material.extensions;
  }
  return copy;
}

function glbBytes(json, bin) {
  let text = new TextEncoder().encode(JSON.stringify(json));
  const jsonLength = (text.length + 3) & ~3;
  const binLength = (bin.length + 3) & ~3;
  const total = 12 + 8 + jsonLength + (bin.length > 0 ? 8 + binLength : 0);
  const out = new Uint8Array(total);
  const view = new DataView(out.buffer);
  view.setUint32(0, GLB_MAGIC, true);
  view.setUint32(4, 2, true);
  view.setUint32(8, total, true);
  view.setUint32(12, jsonLength, true);
  view.setUint32(16, CHUNK_JSON, true);
  out.fill(0x20, 20, 20 + jsonLength);
  out.set(text, 20);
  if (bin.length > 0) {
    view.setUint32(20 + jsonLength, binLength, true);
    view.setUint32(24 + jsonLength, CHUNK_BIN, true);
    out.set(bin, 28 + jsonLength);
  }
  return out.buffer;
}

const COMPONENT = {
  5120: [Int8Array, 127],
  5121: [Uint8Array, 255],
  5122: [Int16Array, 32767],
  5123: [Uint16Array, 65535],
  5125: [Uint32Array, 0],
  5126: [Float32Array, 0],
};

// A VEC4 accessor's elements straight from the file (three changes the
// weights it loads in place), normalised integers turned into 0..1.
function readVec4(json, bin, index) {
  const accessor = json.accessors[index];
  const view = json.bufferViews[accessor.bufferView];
  const [Type, max] = COMPONENT[accessor.componentType];
  const stride = view.byteStride ?? Type.BYTES_PER_ELEMENT * 4;
  const data = new DataView(bin.buffer, bin.byteOffset + view.byteOffset + (accessor.byteOffset ?? 0));
  const out = new Float64Array(accessor.count * 4);
  for (let i = 0; i < accessor.count; ++i) {
    for (let c = 0; c < 4; ++c) {
      const at = i * stride + c * Type.BYTES_PER_ELEMENT;
      let value;
      switch (accessor.componentType) {
        case 5121: value = data.getUint8(at); break;
        case 5123: value = data.getUint16(at, true); break;
        case 5125: value = data.getUint32(at, true); break;
        case 5126: value = data.getFloat32(at, true); break;
        case 5120: value = data.getInt8(at); break;
        default: value = data.getInt16(at, true);
      }
      out[i * 4 + c] = accessor.normalized && max > 0 ? Math.max(value / max, -1) : value;
    }
  }
  return out;
}

async function main() {
  const [file, outPath] = process.argv.slice(2);
  if (!file || !outPath) {
    console.error('usage: three_pose.mjs FILE OUT.json');
    process.exit(2);
  }
  const { THREE, GLTFLoader } = await loadThree();
  const { json, bin } = await readAsset(file);
  const gltf = await new GLTFLoader().parseAsync(glbBytes(withoutImages(json), bin), '');
  const { scene, animations, parser } = gltf;

  // The rest state of everything an animation may change, to go back to.
  const rest = [];
  scene.traverse((object) => {
    rest.push({
      object,
      position: object.position.clone(),
      quaternion: object.quaternion.clone(),
      scale: object.scale.clone(),
      influences: object.morphTargetInfluences ? [...object.morphTargetInfluences] : null,
    });
  });
  const backToRest = () => {
    for (const r of rest) {
      r.object.position.copy(r.position);
      r.object.quaternion.copy(r.quaternion);
      r.object.scale.copy(r.scale);
      if (r.influences) r.object.morphTargetInfluences.splice(0, r.influences.length, ...r.influences);
    }
    scene.updateMatrixWorld(true);
  };

  // Each primitive with the glTF node that holds it.
  const meshes = [];
  scene.traverse((object) => {
    if (!object.isMesh) return;
    const association = parser.associations.get(object) ?? {};
    let holder = object;
    while (holder && parser.associations.get(holder)?.nodes === undefined) holder = holder.parent;
    const nodeIndex = holder ? parser.associations.get(holder).nodes : undefined;
    const node = nodeIndex !== undefined ? json.nodes[nodeIndex] : {};
    const primitive = json.meshes[association.meshes].primitives[association.primitives];
    const sets = [];
    for (let s = 0; `JOINTS_${s}` in primitive.attributes && `WEIGHTS_${s}` in primitive.attributes; ++s) {
      sets.push({
        joints: readVec4(json, bin, primitive.attributes[`JOINTS_${s}`]),
        weights: readVec4(json, bin, primitive.attributes[`WEIGHTS_${s}`]),
      });
    }
    meshes.push({ object, node, association, sets });
  });

  scene.updateMatrixWorld(true);
  const restPositions = meshes.map(({ object }) => {
    const position = object.geometry.attributes.position;
    const v = new THREE.Vector3();
    const out = [];
    for (let i = 0; i < position.count; ++i) {
      v.fromBufferAttribute(position, i).applyMatrix4(object.matrixWorld);
      out.push(v.x, v.y, v.z);
    }
    return out;
  });

  // Skinning over every set of influences, as applyBoneTransform does the first.
  const skinAllSets = (mesh, sets, index, target) => {
    const skeleton = mesh.skeleton;
    const base = new THREE.Vector4(target.x, target.y, target.z, 1).applyMatrix4(mesh.bindMatrix);
    const sum = new THREE.Vector4(0, 0, 0, 0);
    const matrix = new THREE.Matrix4();
    for (const { joints, weights } of sets) {
      for (let c = 0; c < 4; ++c) {
        const weight = weights[index * 4 + c];
        if (weight === 0) continue;
        const bone = joints[index * 4 + c];
        matrix.multiplyMatrices(skeleton.bones[bone].matrixWorld, skeleton.boneInverses[bone]);
        sum.addScaledVector(base.clone().applyMatrix4(matrix), weight);
      }
    }
    target.set(sum.x, sum.y, sum.z).applyMatrix4(mesh.bindMatrixInverse);
    return target;
  };

  const snapshot = () =>
    meshes.map(({ object, node, association, sets }, m) => {
      const count = object.geometry.attributes.position.count;
      const posed = [];
      const firstSet = [];
      const v = new THREE.Vector3();
      for (let i = 0; i < count; ++i) {
        if (object.isSkinnedMesh && sets.length > 1) {
          THREE.Mesh.prototype.getVertexPosition.call(object, i, v);
          skinAllSets(object, sets, i, v).applyMatrix4(object.matrixWorld);
          posed.push(v.x, v.y, v.z);
          object.getVertexPosition(i, v).applyMatrix4(object.matrixWorld);
          firstSet.push(v.x, v.y, v.z);
        } else {
          object.getVertexPosition(i, v).applyMatrix4(object.matrixWorld);
          posed.push(v.x, v.y, v.z);
        }
      }
      const entry = {
        node: node.name ?? null,
        object: node.extras?.quorvel?.object ?? null,
        mesh: association.meshes,
        primitive: association.primitives,
        rest: restPositions[m],
        posed,
      };
      if (sets.length > 1) {
        entry.influence_sets = sets.length;
        entry.posed_first_set = firstSet;
      }
      return entry;
    });

  const out = { animations: [{ name: '', meshes: snapshot() }] };
  const mixer = new THREE.AnimationMixer(scene);
  for (const clip of animations) {
    backToRest();
    // The earliest keyframe over the animation's samplers.
    const start = Math.min(...clip.tracks.map((track) => track.times[0]));
    const action = mixer.clipAction(clip);
    action.play();
    action.time = Number.isFinite(start) ? start : 0;
    mixer.update(0);
    scene.updateMatrixWorld(true);
    out.animations.push({ name: clip.name, meshes: snapshot() });
    action.stop();
    mixer.uncacheAction(clip);
  }
  await writeFile(outPath, JSON.stringify(out));
}

main().catch((error) => {
  console.error(`three_pose.mjs: ${error.stack ?? error}`);
  process.exit(1);
});
