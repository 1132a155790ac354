// Reference outputs of the graphs the program runs, computed with TensorFlow.js (CPU backend)
// from the same model files, on fixed synthetic inputs. Writes one small JSON digest per graph:
// shape, norm, sum and sampled values (NHWC order). The C++ tests run the same graphs through
// OpenCV and compare.
//
//   NODE_PATH=<folder holding @tensorflow/tfjs-core, -converter, -backend-cpu> \
//     node golden.mjs <model folder> <output folder>

import fs from 'node:fs';
import path from 'node:path';
import { createRequire } from 'node:module';

const require = createRequire(import.meta.url);
const tf = require('@tensorflow/tfjs-core');
require('@tensorflow/tfjs-backend-cpu');
const converter = require('@tensorflow/tfjs-converter');

const [modelDir, outDir] = process.argv.slice(2);
if (!modelDir || !outDir) {
  console.error('usage: node golden.mjs <model folder> <output folder>');
  process.exit(2);
}

// The test image: smooth colour waves plus a fine integer texture, whole values 0…255.
// tests/vision/neural_golden_test.cpp makes the same pixels.
function pattern(side) {
  const out = new Float32Array(side * side * 3);
  for (let y = 0; y < side; ++y)
    for (let x = 0; x < side; ++x)
      for (let c = 0; c < 3; ++c) {
        const wave = 127.5 + 90 * Math.sin(x * 0.05 + c) * Math.cos(y * 0.07 - 0.5 * c);
        const texture = ((x * 7 + y * 13 + c * 5) % 17) - 8;
        out[(y * side + x) * 3 + c] = Math.min(255, Math.max(0, Math.round(wave + texture)));
      }
  return tf.tensor4d(out, [1, side, side, 3]);
}

function readWeights(manifest, dir) {
  const specs = [];
  const buffers = [];
  for (const group of manifest) {
    for (const p of group.paths) buffers.push(fs.readFileSync(path.join(dir, p)));
    specs.push(...group.weights);
  }
  const all = Buffer.concat(buffers);
  const data = all.buffer.slice(all.byteOffset, all.byteOffset + all.byteLength);
  return { specs, data };
}

async function loadGraphModel(file) {
  const json = JSON.parse(fs.readFileSync(file, 'utf8'));
  // Let the input take any size (the program runs the backbone smaller than converted).
  for (const node of json.modelTopology.node)
    if (node.op === 'Placeholder' && node.attr?.shape?.shape?.dim?.length === 4)
      for (const i of [1, 2]) node.attr.shape.shape.dim[i].size = '-1';
  const { specs, data } = readWeights(json.weightsManifest, path.dirname(file));
  const handler = {
    load: async () => ({
      modelTopology: json.modelTopology, format: json.format, generatedBy: json.generatedBy,
      convertedBy: json.convertedBy, signature: json.signature, weightSpecs: specs, weightData: data,
    }),
  };
  return converter.loadGraphModel(handler);
}

function digest(name, tensor, extraIndices = []) {
  const values = tensor.dataSync();
  const n = values.length;
  let sumSq = 0, sum = 0, maxAbs = 0;
  for (const v of values) { sumSq += v * v; sum += v; maxAbs = Math.max(maxAbs, Math.abs(v)); }
  const indices = [];
  const count = Math.min(n, 256);
  for (let i = 0; i < count; ++i) indices.push(Math.floor((i * n) / count));
  indices.push(...extraIndices);
  const out = {
    graph: name, shape: tensor.shape, norm: Math.sqrt(sumSq), sum, maxAbs,
    samples: indices.map((i) => [i, values[i]]),
  };
  fs.writeFileSync(path.join(outDir, `${name}.json`), JSON.stringify(out, null, 1) + '\n');
  console.log(`${name}: shape ${tensor.shape} norm ${out.norm.toFixed(4)}`);
}

// face-api's recognition network, written out from its definition: convolutions with a bias
// and a per-channel scale and shift, residual blocks, 150 × 150 input centred on a mean colour.
function faceNet(weights, input) {
  const w = (name) => weights[name];
  const conv = (x, p, stride, relu, padding = 'same') => {
    let out = tf.conv2d(x, w(`${p}/conv/filters`), stride, padding);
    out = tf.add(out, w(`${p}/conv/bias`));
    out = tf.add(tf.mul(out, w(`${p}/scale/weights`)), w(`${p}/scale/biases`));
    return relu ? tf.relu(out) : out;
  };
  const residual = (x, p) => {
    let out = conv(x, `${p}/conv1`, 1, true);
    out = conv(out, `${p}/conv2`, 1, false);
    return tf.relu(tf.add(out, x));
  };
  const residualDown = (x, p) => {
    let out = conv(x, `${p}/conv1`, 2, true, 'valid');
    out = conv(out, `${p}/conv2`, 1, false);
    let pooled = tf.avgPool(x, 2, 2, 'valid');
    if (pooled.shape[1] !== out.shape[1] || pooled.shape[2] !== out.shape[2]) {
      out = tf.concat([out, tf.zeros([out.shape[0], 1, out.shape[2], out.shape[3]])], 1);
      out = tf.concat([out, tf.zeros([out.shape[0], out.shape[1], 1, out.shape[3]])], 2);
    }
    if (pooled.shape[3] !== out.shape[3])
      pooled = tf.concat([pooled, tf.zeros(pooled.shape)], 3);
    return tf.relu(tf.add(pooled, out));
  };
  const mean = tf.tensor1d([122.782, 117.001, 104.298]);
  let x = tf.div(tf.sub(input, mean), 255);
  x = conv(x, 'conv32_down', 2, true, 'valid');
  x = tf.maxPool(x, 3, 2, 'valid');
  for (const p of ['conv32_1', 'conv32_2', 'conv32_3']) x = residual(x, p);
  x = residualDown(x, 'conv64_down');
  for (const p of ['conv64_1', 'conv64_2', 'conv64_3']) x = residual(x, p);
  x = residualDown(x, 'conv128_down');
  for (const p of ['conv128_1', 'conv128_2']) x = residual(x, p);
  x = residualDown(x, 'conv256_down');
  for (const p of ['conv256_1', 'conv256_2']) x = residual(x, p);
  x = residualDown(x, 'conv256_down_out');
  return tf.matMul(tf.mean(x, [1, 2]), w('fc'));
}

await tf.setBackend('cpu');
fs.mkdirSync(outDir, { recursive: true });

const centernet = await loadGraphModel(path.join(modelDir, 'centernet.json'));
// Scene print: the backbone at 256 × 256, averaged over the image.
digest('centernet_scene_256',
  tf.mean(centernet.execute(pattern(256), 'tower_0/extern1/hard_swish/mul_1'), [1, 2]));
// People: the class heatmaps at the native 512 × 512; extra samples from the person class.
{
  const heat = centernet.execute(pattern(512), 'tower_0/keypoints');
  const [, h, wd, c] = heat.shape;
  const person = [];
  for (let i = 0; i < 128; ++i) {
    const y = Math.floor((i * 37) % h), x = Math.floor((i * 53) % wd);
    person.push((y * wd + x) * c);
  }
  digest('centernet_people_512', heat, person);
}

// faceres (compared with the face network in bench/vision): its 1024-value pooled features.
const faceres = await loadGraphModel(path.join(modelDir, 'faceres.json'));
digest('faceres_224', faceres.execute(pattern(224), 'global_pooling/Mean'));

const manifest = JSON.parse(fs.readFileSync(
  path.join(modelDir, 'face_recognition_model-weights_manifest.json'), 'utf8'));
const { specs, data } = readWeights(manifest, modelDir);
digest('face_recognition_150', faceNet(tf.io.decodeWeights(data, specs), pattern(150)));

// The eye network (MediaPipe's iris landmarks) on a 64-pixel crop, RGB scaled to −1…1: its
// lid, brow and iris points. Its activations are Prelu, which OpenCV reads only once rewritten.
const eyes = await loadGraphModel(path.join(modelDir, 'iris.json'));
digest('iris_64', eyes.execute(tf.sub(tf.div(pattern(64), 127.5), 1), 'Identity'));
