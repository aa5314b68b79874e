'use strict';
// Clients of the Tarnwick desktop helpers: skelmor (computer-use host) and brevail
// (attachment tool). Node's standard library only.

const {Skelmor, LINE_LIMIT} = require('./skelmor');
const {runBrevail} = require('./brevail');
const errors = require('./errors');

module.exports = {
  Skelmor,
  LINE_LIMIT,
  runBrevail,
  ...errors
};
